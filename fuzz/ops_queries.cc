// SPDX-License-Identifier: MIT
// Attribute queries, identifier translations, private data and extensions.
#include <cstring>

#include "fuzz_state.h"

namespace lcfuzz {

namespace {

// Every query that takes an iod alone.
void iod_query(State &s) {
    using Query = uint32_t (*)(uint32_t);
    static constexpr Query kQueries[] = {
        lcache_netif_is_switchport,     lcache_netif_is_switching_enabled_on_iod,
        lcache_netif_is_linkup,         lcache_netif_is_protoup,
        lcache_netif_is_ethernet,       lcache_netif_is_vlan,
        lcache_netif_is_null0,          lcache_netif_is_native_p2p,
        lcache_netif_is_loopback,       lcache_netif_is_mgmtether,
        lcache_netif_is_super_802_3ad,  lcache_netif_is_gre_tunnel,
        lcache_netif_is_stretch_tunnel, lcache_netif_is_mpls_tunnel,
        lcache_netif_is_6to4_tunnel,
    };
    const uint32_t iod = s.iod();
    switch (const uint32_t pick = s.in.below(std::size(kQueries) + 4)) {
    case std::size(kQueries): lcache_netif_get_if_encaptype(iod); break;
    case std::size(kQueries) + 1: lcache_netif_get_if_mtu(iod); break;
    case std::size(kQueries) + 2: lcache_netif_get_if_vlanid(iod); break;
    case std::size(kQueries) + 3: lcache_netif_get_if_name(iod); break;
    default: kQueries[pick](iod); break;
    }
}

void vlan_info(State &s) {
    netif_vlan_info_t info{};
    uint32_t word = 0;
    lcache_netif_get_vlan_info(s.iod(), &info, &word);
}

void mac(State &s) {
    const uint32_t iod = s.iod();
    if (s.in.flag()) {
        lcache_netif_get_if_mac_addr(iod);
        return;
    }
    uint8_t probe[6];
    if (s.in.flag()) {
        memcpy(probe, s.in.bytes(sizeof probe).data(), sizeof probe);
    } else {
        const sim::Interface *itf = s.interface();
        memcpy(probe, itf ? itf->mac.data() : s.model.system_mac().data(), sizeof probe);
    }
    lcache_netif_is_if_mac_addr(iod, probe);
}

void translation(State &s) {
    uint32_t out = s.in.u32();
    switch (s.in.below(6)) {
    case 0: lcache_netif_get_ifindex_frm_iod(s.iod(), &out); break;
    case 1: lcache_netif_get_iod_frm_ifindex(s.ifindex(), &out); break;
    case 2: lcache_dmap_lib_si_to_ifidx(s.pi(), &out); break;
    case 3: lcache_dmap_lib_ifidx_to_di(s.ifindex(), &out); break;
    case 4: lcache_lifsvc_query_lif_to_ifindex(s.lif(), &out); break;
    default: lcache_lifsvc_query_ifindex_to_lif(s.ifindex(), &out); break;
    }
}

void port_facts(State &s) {
    const uint32_t if_index = s.ifindex();
    uint32_t out = 0;
    switch (s.in.below(3)) {
    case 0:
        lcache_agg_get_pc_mbr_ifidx_from_rbh(if_index, s.in.flag() ? 0 : s.in.u8(), &out);
        break;
    case 1: lcache_agg_get_fop(if_index, &out); break;
    default: lcache_phyport_gldb_get_ifindex_port_mode(if_index, &out); break;
    }
}

void l2_info(State &s) {
    uint32_t if_index = 0, iod = 0, linkup = 0, switchport = 0, switching = 0, protoup = 0, ext = 0;
    uint16_t encap = 0;
    lcache_get_if_l2_info_by_pi(s.pi(), &if_index, &iod, &linkup, &encap, &switchport, &switching,
                                &protoup, &ext);
}

void extension(State &s) {
    using Get = uint32_t (*)(uint32_t, uint32_t);
    using Set = uint32_t (*)(uint32_t, uint32_t, uint32_t);
    static constexpr Get kGets[] = {
        lcache_netif_get_extension,     lcache_netif_get_extension1,
        lcache_netif_get_extension2,    lcache_netif_get_extension3,
        lcache_netif_is_extension_set,  lcache_netif_is_extension1_set,
        lcache_netif_is_extension2_set, lcache_netif_is_extension3_set,
    };
    static constexpr Set kSets[] = {lcache_netif_set_extension, lcache_netif_set_extension1,
                                    lcache_netif_set_extension2, lcache_netif_set_extension3};
    const uint32_t iod = s.iod();
    const uint32_t key = s.owner_key();
    switch (s.in.below(4)) {
    case 0: kGets[s.in.below(std::size(kGets))](iod, key); break;
    case 1: kSets[s.in.below(std::size(kSets))](iod, key, s.in.u32()); break;
    case 2: {
        uint32_t size = 0;
        lcache_netif_get_private_data(iod, key, &size);
        break;
    }
    default: lcache_netif_update_private_data(iod, key, s.in.u32(), s.in.u32()); break;
    }
}

constexpr OpDesc kOps[] = {
    {"iod_query", iod_query},     {"vlan_info", vlan_info},   {"mac", mac},
    {"translation", translation}, {"port_facts", port_facts}, {"l2_info", l2_info},
    {"extension", extension},
};

} // namespace

std::span<const OpDesc> query_ops() { return kOps; }

} // namespace lcfuzz
