/* SPDX-License-Identifier: MIT */
/* Interface-index classification contract. */
#ifndef IF_INDEX_H
#define IF_INDEX_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

/* Interface type codes the cache relies on. */
enum {
    IF_TYPE_MGMT_ETHER = 5,
    IF_TYPE_SUBIF = 9,
    IF_TYPE_PORT_CHANNEL = 22,
    IF_TYPE_GRE_TUNNEL = 24,
    IF_TYPE_ETH_PORT = 26
};

/* Status 0 and the type byte for a valid ifindex. */
PEER_API uint32_t if_index_get_type(uint32_t if_index, uint8_t *type);

PLATFORM_END_DECLS

#endif
