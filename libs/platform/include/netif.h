/* SPDX-License-Identifier: MIT */
/*
 * Interface manager contract.  Every call is synchronous.  "status" results
 * are 0 for success; booleans are nonzero for true (a caller that needs a
 * flag keeps bit 0).
 */
#ifndef NETIF_H
#define NETIF_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

/* VLAN-information record: u16 slice number at byte 0, u32 VLAN id at
 * byte 2, no padding. */
typedef struct __attribute__((packed)) netif_vlan_info {
    uint16_t slice;
    uint32_t vlan;
} netif_vlan_info_t;
PLATFORM_STATIC_ASSERT(sizeof(netif_vlan_info_t) == 6, "VLAN-info record is 6 bytes");

/* Request record of netif_get_ifindex_port_mode_list: 536 bytes, ifindex at
 * byte 0, the start index (0) at byte 12, the answered port mode at byte 20. */
typedef struct netif_port_mode_req {
    uint32_t if_index;
    uint8_t reserved0[8];
    uint32_t start;
    uint8_t reserved1[4];
    uint32_t port_mode;
    uint8_t reserved2[512];
} netif_port_mode_req_t;
PLATFORM_STATIC_ASSERT(sizeof(netif_port_mode_req_t) == 536, "port-mode request is 536 bytes");

enum { NETIF_PORT_MODE_IPS = 512 }; /* the port mode that sets the ips flag */

/* Keyed by iod. */
PEER_API uint32_t netif_is_switchport(uint32_t iod);
PEER_API uint32_t netif_is_linkup(uint32_t iod);
PEER_API uint32_t netif_is_protoup(uint32_t iod);
PEER_API uint32_t netif_is_ethernet(uint32_t iod);
PEER_API uint32_t netif_is_vlan(uint32_t iod);
PEER_API uint32_t netif_is_loopback(uint32_t iod);
PEER_API uint32_t netif_is_native_p2p(uint32_t iod);
PEER_API uint32_t netif_is_null0(uint32_t iod);
PEER_API uint32_t netif_is_switching_enabled_on_iod(uint32_t iod);
PEER_API uint32_t netif_is_mgmtether(uint32_t iod);
PEER_API uint32_t netif_is_super_802_3ad(uint32_t iod);
PEER_API uint32_t netif_is_gre_tunnel(uint32_t iod);
PEER_API uint32_t netif_is_stretch_tunnel(uint32_t iod);
PEER_API uint32_t netif_is_mpls_tunnel(uint32_t iod);
PEER_API uint32_t netif_is_6to4_tunnel(uint32_t iod);

/* Values in the low 16 bits; 0 = not yet available. */
PEER_API uint32_t netif_get_if_mtu(uint32_t iod);
PEER_API uint32_t netif_get_if_encaptype(uint32_t iod);
PEER_API uint32_t netif_get_if_vlanid(uint32_t iod);

/* Ifindex of a sub-interface's parent. */
PEER_API uint32_t netif_get_sub_interface_parent(uint32_t iod);

/* Returns 1 when both outputs are valid. */
PEER_API uint32_t netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info, uint32_t *word);

/* Fills the 6-byte source MAC. */
PEER_API uint32_t netif_get_if_src_mac_addr(uint32_t iod, uint8_t *mac);
PEER_API uint32_t netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac);

/* NUL-terminated name, valid until the next call. */
PEER_API const char *netif_get_if_name(uint32_t iod);

/* Private data attached under owner `key`, and its size through `size`. */
PEER_API uint32_t netif_get_private_data(uint32_t iod, uint32_t key, uint32_t *size);
/* 32-bit extension value under owner `key`; 0 = none. */
PEER_API uint32_t netif_get_extension(uint32_t iod, uint32_t key);
PEER_API uint32_t netif_is_extension_set(uint32_t iod, uint32_t key);

/* Keyed by ifindex. */
PEER_API uint32_t netif_get_iod_frm_ifindex(uint32_t if_index, uint32_t *iod);
PEER_API uint32_t netif_get_ifindex_frm_iod(uint32_t iod, uint32_t *if_index);
/* Writes the NUL-terminated name into `buf` of `size` bytes. */
PEER_API uint32_t netif_get_ifindex_name(uint32_t if_index, char *buf, uint32_t size);
/* Answers `count` requests; status. */
PEER_API uint32_t netif_get_ifindex_port_mode_list(netif_port_mode_req_t *req, uint32_t count);

PLATFORM_END_DECLS

#endif
