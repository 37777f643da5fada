/* SPDX-License-Identifier: MIT */
/* Index mapper contract: port indexes are source indexes (si) on the way in
 * and destination indexes (di) on the way out. */
#ifndef DMAP_H
#define DMAP_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

PEER_API uint32_t dmap_lib_si_to_ifidx(uint32_t si, uint32_t *if_index);
PEER_API uint32_t dmap_lib_ifidx_to_di(uint32_t if_index, uint32_t *di);
/* Flood index of bridge domain `bd` (a u16 widened to 32 bits). */
PEER_API uint32_t dmap_lib_bd_to_di(uint32_t bd, uint32_t *di);

PLATFORM_END_DECLS

#endif
