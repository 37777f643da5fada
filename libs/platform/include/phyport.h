/* SPDX-License-Identifier: MIT */
/* Ethernet port manager contract. */
#ifndef PHYPORT_H
#define PHYPORT_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

/* Port mode of an Ethernet port (512 = the mode that sets the ips flag). */
PEER_API uint32_t phyport_gldb_get_ifindex_port_mode(uint32_t if_index, uint32_t *mode);

PLATFORM_END_DECLS

#endif
