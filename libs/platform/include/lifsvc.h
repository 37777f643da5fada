/* SPDX-License-Identifier: MIT */
/* LIF table manager contract. */
#ifndef LIFSVC_H
#define LIFSVC_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

PEER_API uint32_t lifsvc_query_ifindex_to_lif(uint32_t if_index, uint32_t *lif);
PEER_API uint32_t lifsvc_query_lif_to_ifindex(uint32_t lif, uint32_t *if_index);

PLATFORM_END_DECLS

#endif
