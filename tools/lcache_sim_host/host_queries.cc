// SPDX-License-Identifier: MIT
#include "host_queries.h"

#include <net/if.h>

#include <cstdio>
#include <string_view>

#include "dmap.h"
#include "lcache.h"
#include "lifsvc.h"
#include "netif.h"

namespace lchost {
namespace {

std::string number(uint32_t value) { return std::to_string(value); }

std::string mac_text(const uint8_t *mac) {
    if (!mac)
        return "none";
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

// A translation's status and output as one answer.
std::string translated(uint32_t status, uint32_t value) {
    return status == 0 ? number(value) : "status " + number(status);
}

template <uint32_t (*Fn)(uint32_t)>
std::string flag(uint32_t iod) {
    return number(Fn(iod) & 1);
}

template <typename T, T (*Fn)(uint32_t)>
std::string value(uint32_t iod) {
    return number(Fn(iod) & 0xFFFF);
}

std::string cached_mac(uint32_t iod) { return mac_text(lcache_netif_get_if_mac_addr(iod)); }
std::string kernel_mac(uint32_t iod) {
    uint8_t mac[6] = {};
    netif_get_if_src_mac_addr(iod, mac);
    return mac_text(mac);
}

std::string name_text(const char *name) { return name ? name : "none"; }
std::string cached_name(uint32_t iod) { return name_text(lcache_netif_get_if_name(iod)); }
std::string peer_name(uint32_t iod) { return name_text(netif_get_if_name(iod)); }
// An ioctl, so no answer the peers keep can stand in for the kernel's.
std::string kernel_name(uint32_t iod) {
    char name[IF_NAMESIZE];
    return name_text(if_indextoname(iod, name));
}

std::string cached_ifindex(uint32_t iod) {
    uint32_t out = 0;
    return translated(lcache_netif_get_ifindex_frm_iod(iod, &out), out);
}
std::string kernel_ifindex(uint32_t iod) {
    uint32_t out = 0;
    return translated(netif_get_ifindex_frm_iod(iod, &out), out);
}

// The keyed translations start from the interface's ifindex, which the
// kernel gives; an interface without one answers its own failure.
using Translation = uint32_t (*)(uint32_t, uint32_t *);

template <Translation ToIfindex, Translation Fn>
std::string by_ifindex(uint32_t iod) {
    uint32_t if_index = 0, out = 0;
    if (uint32_t status = ToIfindex(iod, &if_index))
        return "status " + number(status);
    return translated(Fn(if_index, &out), out);
}

const QueryKind kKinds[] = {
    {"linkup", "state", flag<lcache_netif_is_linkup>, flag<netif_is_linkup>},
    {"protoup", "state", flag<lcache_netif_is_protoup>, flag<netif_is_protoup>},
    {"switchport", "bridging", flag<lcache_netif_is_switchport>, flag<netif_is_switchport>},
    {"switching", "bridging", flag<lcache_netif_is_switching_enabled_on_iod>,
     flag<netif_is_switching_enabled_on_iod>},
    {"ethernet", "kind", flag<lcache_netif_is_ethernet>, flag<netif_is_ethernet>},
    {"vlan", "kind", flag<lcache_netif_is_vlan>, flag<netif_is_vlan>},
    {"loopback", "kind", flag<lcache_netif_is_loopback>, flag<netif_is_loopback>},
    {"p2p", "kind", flag<lcache_netif_is_native_p2p>, flag<netif_is_native_p2p>},
    {"mtu", "values", value<uint16_t, lcache_netif_get_if_mtu>, value<uint32_t, netif_get_if_mtu>},
    {"encap", "values", value<uint16_t, lcache_netif_get_if_encaptype>,
     value<uint32_t, netif_get_if_encaptype>},
    {"mac", "values", cached_mac, kernel_mac},
    {"name", "values", cached_name, peer_name, kernel_name},
    {"ifindex", "keys", cached_ifindex, kernel_ifindex},
    {"lif", "keys", by_ifindex<lcache_netif_get_ifindex_frm_iod, lcache_lifsvc_query_ifindex_to_lif>,
     by_ifindex<netif_get_ifindex_frm_iod, lifsvc_query_ifindex_to_lif>},
    {"port-index", "keys", by_ifindex<lcache_netif_get_ifindex_frm_iod, lcache_dmap_lib_ifidx_to_di>,
     by_ifindex<netif_get_ifindex_frm_iod, dmap_lib_ifidx_to_di>},
};

const char *const kFamilies[] = {"state", "bridging", "kind", "values", "keys"};

} // namespace

std::span<const QueryKind> query_kinds() { return kKinds; }

const QueryKind &kind_named(const char *name) {
    for (const QueryKind &kind : kKinds)
        if (std::string_view(kind.name) == name)
            return kind;
    return kKinds[0];
}
std::span<const char *const> families() { return kFamilies; }

} // namespace lchost
