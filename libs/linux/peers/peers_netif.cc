// SPDX-License-Identifier: MIT
// The interface manager, answered by the kernel.  Every answer is a fresh
// RTM_GETLINK of the iod's link (kernel.h); what Linux has no counterpart
// for is answered without asking.
#include <linux/if_arp.h>
#include <linux/if.h>

#include <cstdio>
#include <cstring>

#include "lookup.h"
#include "netif.h"

using namespace lcache_linux;

namespace {

uint32_t flag(uint32_t iod, bool (*predicate)(const LinkInfo &)) {
    return about_iod<uint32_t>(iod, 0, [&](const LinkInfo &link) { return predicate(link) ? 1u : 0u; });
}

bool kind_is_vlan(const LinkInfo &link) { return classify(link) == IfType::vlan; }
bool kind_is_bond(const LinkInfo &link) { return classify(link) == IfType::port_channel; }
bool kind_is_gre(const LinkInfo &link) { return classify(link) == IfType::gre_tunnel; }
bool kind_is_6to4(const LinkInfo &link) { return classify(link) == IfType::six_to_four; }
bool is_ethernet(const LinkInfo &link) { return link.arp_type == ARPHRD_ETHER; }
bool is_loopback(const LinkInfo &link) { return link.flags & IFF_LOOPBACK; }
bool is_p2p(const LinkInfo &link) { return link.flags & IFF_POINTOPOINT; }
bool switches(const LinkInfo &link) { return is_bridge_port(link) || classify(link) == IfType::bridge; }

// Only a VLAN-filtering bridge gives its ports VLANs; asking its master
// first spares the dump of every port's VLANs on a plain bridge.
bool master_filters_vlans(const LinkInfo &port) {
    LinkInfo bridge;
    return fetch_link(port.master, bridge) == Fetch::ok && bridge.vlan_filtering;
}

} // namespace

extern "C" {

uint32_t netif_is_switchport(uint32_t iod) { return flag(iod, is_bridge_port); }
uint32_t netif_is_switching_enabled_on_iod(uint32_t iod) { return flag(iod, switches); }
uint32_t netif_is_linkup(uint32_t iod) { return flag(iod, is_linkup); }
uint32_t netif_is_protoup(uint32_t iod) { return flag(iod, is_protoup); }
uint32_t netif_is_ethernet(uint32_t iod) { return flag(iod, is_ethernet); }
uint32_t netif_is_vlan(uint32_t iod) { return flag(iod, kind_is_vlan); }
uint32_t netif_is_loopback(uint32_t iod) { return flag(iod, is_loopback); }
uint32_t netif_is_native_p2p(uint32_t iod) { return flag(iod, is_p2p); }
uint32_t netif_is_super_802_3ad(uint32_t iod) { return flag(iod, kind_is_bond); }
uint32_t netif_is_gre_tunnel(uint32_t iod) { return flag(iod, kind_is_gre); }
uint32_t netif_is_6to4_tunnel(uint32_t iod) { return flag(iod, kind_is_6to4); }

// Kinds a Linux host does not have: no discard interface, no management
// port the kernel marks as such, no stretch or MPLS tunnel devices.
uint32_t netif_is_null0(uint32_t) { return 0; }
uint32_t netif_is_mgmtether(uint32_t) { return 0; }
uint32_t netif_is_stretch_tunnel(uint32_t) { return 0; }
uint32_t netif_is_mpls_tunnel(uint32_t) { return 0; }

uint32_t netif_get_if_mtu(uint32_t iod) {
    return about_iod<uint32_t>(iod, 0, [](const LinkInfo &link) { return mtu16(link); });
}

uint32_t netif_get_if_encaptype(uint32_t iod) {
    return about_iod<uint32_t>(iod, 0, [](const LinkInfo &link) { return encap_of(link); });
}

uint32_t netif_get_if_vlanid(uint32_t iod) {
    return about_iod<uint32_t>(iod, 0, [](const LinkInfo &link) {
        return kind_is_vlan(link) ? link.vlan_id : 0u;
    });
}

uint32_t netif_get_sub_interface_parent(uint32_t iod) {
    LinkInfo link, parent;
    if (link_of_iod(iod, link) != Fetch::ok || !kind_is_vlan(link) || link.parent == 0)
        return 0;
    return link_of_iod(link.parent, parent) == Fetch::ok ? os_ifindex(parent) : 0;
}

// A VLAN device answers its VLAN id (mode 1), a bridge port its untagged
// VLAN (mode 2) where its bridge filters VLANs.
uint32_t netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info, uint32_t *word) {
    LinkInfo link;
    if (!info || !word || link_of_iod(iod, link) != Fetch::ok)
        return 0;
    uint16_t vlan = 0;
    uint32_t mode = 0;
    if (kind_is_vlan(link)) {
        vlan = link.vlan_id;
        mode = kVlanModeTagged;
    } else if (is_bridge_port(link) && master_filters_vlans(link) &&
               fetch_port_pvid(link.index, vlan) == Fetch::ok && vlan) {
        mode = kVlanModeUntagged;
    }
    if (mode == 0)
        return 0;
    info->slice = kHostSlice;
    info->vlan = vlan;
    *word = mode;
    return 1;
}

uint32_t netif_get_if_src_mac_addr(uint32_t iod, uint8_t *mac) {
    LinkInfo link;
    if (!mac)
        return LCACHE_LINUX_BAD_ARGUMENT;
    Fetch fetch = link_of_iod(iod, link);
    if (fetch == Fetch::ok)
        memcpy(mac, link.mac, sizeof link.mac);
    return status_of(fetch);
}

uint32_t netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac) {
    return mac ? about_iod<uint32_t>(iod, 0, [&](const LinkInfo &link) {
        return link.has_mac && memcmp(link.mac, mac, sizeof link.mac) == 0 ? 1u : 0u;
    })
               : 0;
}

const char *netif_get_if_name(uint32_t iod) {
    static char name[kNameSize];
    LinkInfo link;
    if (link_of_iod(iod, link) != Fetch::ok)
        return nullptr;
    memcpy(name, link.name, sizeof name);
    return name;
}

// Nothing on a Linux host owns private data or extension values.
uint32_t netif_get_private_data(uint32_t, uint32_t, uint32_t *size) {
    if (size)
        *size = 0;
    return 0;
}
uint32_t netif_get_extension(uint32_t, uint32_t) { return 0; }
uint32_t netif_is_extension_set(uint32_t, uint32_t) { return 0; }

uint32_t netif_get_iod_frm_ifindex(uint32_t if_index, uint32_t *iod) {
    return translate(link_of_ifindex, if_index, iod, [](const LinkInfo &link, uint32_t &out) {
        out = link.index;
        return 0u;
    });
}

uint32_t netif_get_ifindex_frm_iod(uint32_t iod, uint32_t *if_index) {
    return translate(link_of_iod, iod, if_index, [](const LinkInfo &link, uint32_t &out) {
        out = os_ifindex(link);
        return 0u;
    });
}

// The cache asks this on every name question, so a kept name spares it a
// round trip.
uint32_t netif_get_ifindex_name(uint32_t if_index, char *buf, uint32_t size) {
    if (size == 0)
        return LCACHE_LINUX_BAD_ARGUMENT;
    if (const char *name = buf ? kept_name(if_index) : nullptr) {
        snprintf(buf, size, "%s", name);
        return 0;
    }
    return translate(link_of_ifindex, if_index, buf, [size](const LinkInfo &link, char &out) {
        snprintf(&out, size, "%s", link.name);
        return 0u;
    });
}

uint32_t netif_get_ifindex_port_mode_list(netif_port_mode_req_t *req, uint32_t count) {
    if (!req)
        return LCACHE_LINUX_BAD_ARGUMENT;
    for (uint32_t i = 0; i < count; ++i) {
        LinkInfo link;
        Fetch fetch = link_of_ifindex(req[i].if_index, link);
        if (fetch != Fetch::ok)
            return status_of(fetch);
        req[i].port_mode = is_bridge_port(link) ? kPortModeSwitched : kPortModeRouted;
    }
    return 0;
}

} // extern "C"
