/* SPDX-License-Identifier: MIT */
/* VLAN manager contract. */
#ifndef VLAN_MGR_H
#define VLAN_MGR_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

/* VLAN key, passed by value: the caller's slice number directly followed by
 * the VLAN number (six bytes, no padding). */
typedef struct __attribute__((packed)) vlan_key {
    uint16_t slice;
    uint32_t vlan;
} vlan_key_t;
PLATFORM_STATIC_ASSERT(sizeof(vlan_key_t) == 6, "VLAN key is 6 bytes");

PEER_API uint32_t vlan_get_bd(vlan_key_t key, uint16_t *bd);
PEER_API uint32_t vlan_get_bd_and_primary_vlan(vlan_key_t key, uint16_t *bd, uint32_t *pvlan);

PLATFORM_END_DECLS

#endif
