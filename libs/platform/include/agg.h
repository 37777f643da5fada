/* SPDX-License-Identifier: MIT */
/* Port-channel manager contract. */
#ifndef AGG_H
#define AGG_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

/* Port-channel information record.  Its fields are not aligned, so it is a
 * byte array with fixed offsets: the requester sets the ifindex (u32 at
 * byte 6); the manager answers the first operational member (u32 at byte
 * 10, 0 = none) and the member count (u16 at byte 14).  Host byte order. */
enum {
    AGG_PC_INFO_IFINDEX_OFF = 6,
    AGG_PC_INFO_FOP_OFF = 10,
    AGG_PC_INFO_MEMBERS_OFF = 14,
    AGG_PC_INFO_SIZE = 16
};
typedef struct agg_pc_info {
    uint8_t bytes[AGG_PC_INFO_SIZE];
} agg_pc_info_t;

PEER_API uint32_t agg_get_pc_info(agg_pc_info_t *info);

/* Member of port-channel `if_index` that carries hash value `hash` (a u8
 * widened to 32 bits). */
PEER_API uint32_t agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint32_t hash,
                                                uint32_t *member);

PLATFORM_END_DECLS

#endif
