// Every peer function the simulation answers, for call counting and fault
// injection.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

enum class PeerFn : uint8_t {
    netif_is_switchport,
    netif_is_linkup,
    netif_is_protoup,
    netif_is_ethernet,
    netif_is_vlan,
    netif_is_loopback,
    netif_is_native_p2p,
    netif_is_null0,
    netif_is_switching_enabled_on_iod,
    netif_is_mgmtether,
    netif_is_super_802_3ad,
    netif_is_gre_tunnel,
    netif_is_stretch_tunnel,
    netif_is_mpls_tunnel,
    netif_is_6to4_tunnel,
    netif_get_if_mtu,
    netif_get_if_encaptype,
    netif_get_if_vlanid,
    netif_get_sub_interface_parent,
    netif_get_vlan_info,
    netif_get_if_src_mac_addr,
    netif_is_if_mac_addr,
    netif_get_if_name,
    netif_get_private_data,
    netif_get_extension,
    netif_is_extension_set,
    netif_get_iod_frm_ifindex,
    netif_get_ifindex_frm_iod,
    netif_get_ifindex_name,
    netif_get_ifindex_port_mode_list,
    agg_get_pc_info,
    agg_get_pc_mbr_ifidx_from_rbh,
    dmap_lib_si_to_ifidx,
    dmap_lib_ifidx_to_di,
    dmap_lib_bd_to_di,
    lifsvc_query_ifindex_to_lif,
    lifsvc_query_lif_to_ifindex,
    rtctx_if_get_context_id,
    rtctx_if_get_table_id,
    vlan_get_bd,
    vlan_get_bd_and_primary_vlan,
    hostctl_slice_get,
    if_index_get_type,
    phyport_gldb_get_ifindex_port_mode,
};

inline constexpr size_t kPeerFnCount =
    static_cast<size_t>(PeerFn::phyport_gldb_get_ifindex_port_mode) + 1;

// How a function reports: a status (0 = success, outputs written only on
// success), a value or boolean, or a name pointer (NULL = none).
enum class PeerFnKind { status, value, name };

// The C name, e.g. "netif_is_linkup".
const char *peer_fn_name(PeerFn fn);
PeerFnKind peer_fn_kind(PeerFn fn);

} // namespace sim
