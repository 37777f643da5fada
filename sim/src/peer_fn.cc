#include "sim/peer_fn.h"

#include <array>

namespace sim {
namespace {

struct FnInfo {
    PeerFn fn;
    const char *name;
    PeerFnKind kind;
};

using enum PeerFnKind;

constexpr std::array<FnInfo, kPeerFnCount> kFns{{
    {PeerFn::netif_is_switchport, "netif_is_switchport", value},
    {PeerFn::netif_is_linkup, "netif_is_linkup", value},
    {PeerFn::netif_is_protoup, "netif_is_protoup", value},
    {PeerFn::netif_is_ethernet, "netif_is_ethernet", value},
    {PeerFn::netif_is_vlan, "netif_is_vlan", value},
    {PeerFn::netif_is_loopback, "netif_is_loopback", value},
    {PeerFn::netif_is_native_p2p, "netif_is_native_p2p", value},
    {PeerFn::netif_is_null0, "netif_is_null0", value},
    {PeerFn::netif_is_switching_enabled_on_iod, "netif_is_switching_enabled_on_iod", value},
    {PeerFn::netif_is_mgmtether, "netif_is_mgmtether", value},
    {PeerFn::netif_is_super_802_3ad, "netif_is_super_802_3ad", value},
    {PeerFn::netif_is_gre_tunnel, "netif_is_gre_tunnel", value},
    {PeerFn::netif_is_stretch_tunnel, "netif_is_stretch_tunnel", value},
    {PeerFn::netif_is_mpls_tunnel, "netif_is_mpls_tunnel", value},
    {PeerFn::netif_is_6to4_tunnel, "netif_is_6to4_tunnel", value},
    {PeerFn::netif_get_if_mtu, "netif_get_if_mtu", value},
    {PeerFn::netif_get_if_encaptype, "netif_get_if_encaptype", value},
    {PeerFn::netif_get_if_vlanid, "netif_get_if_vlanid", value},
    {PeerFn::netif_get_sub_interface_parent, "netif_get_sub_interface_parent", value},
    {PeerFn::netif_get_vlan_info, "netif_get_vlan_info", value},
    {PeerFn::netif_get_if_src_mac_addr, "netif_get_if_src_mac_addr", status},
    {PeerFn::netif_is_if_mac_addr, "netif_is_if_mac_addr", value},
    {PeerFn::netif_get_if_name, "netif_get_if_name", name},
    {PeerFn::netif_get_private_data, "netif_get_private_data", value},
    {PeerFn::netif_get_extension, "netif_get_extension", value},
    {PeerFn::netif_is_extension_set, "netif_is_extension_set", value},
    {PeerFn::netif_get_iod_frm_ifindex, "netif_get_iod_frm_ifindex", status},
    {PeerFn::netif_get_ifindex_frm_iod, "netif_get_ifindex_frm_iod", status},
    {PeerFn::netif_get_ifindex_name, "netif_get_ifindex_name", status},
    {PeerFn::netif_get_ifindex_port_mode_list, "netif_get_ifindex_port_mode_list", status},
    {PeerFn::agg_get_pc_info, "agg_get_pc_info", status},
    {PeerFn::agg_get_pc_mbr_ifidx_from_rbh, "agg_get_pc_mbr_ifidx_from_rbh", status},
    {PeerFn::dmap_lib_si_to_ifidx, "dmap_lib_si_to_ifidx", status},
    {PeerFn::dmap_lib_ifidx_to_di, "dmap_lib_ifidx_to_di", status},
    {PeerFn::dmap_lib_bd_to_di, "dmap_lib_bd_to_di", status},
    {PeerFn::lifsvc_query_ifindex_to_lif, "lifsvc_query_ifindex_to_lif", status},
    {PeerFn::lifsvc_query_lif_to_ifindex, "lifsvc_query_lif_to_ifindex", status},
    {PeerFn::rtctx_if_get_context_id, "rtctx_if_get_context_id", value},
    {PeerFn::rtctx_if_get_table_id, "rtctx_if_get_table_id", value},
    {PeerFn::vlan_get_bd, "vlan_get_bd", status},
    {PeerFn::vlan_get_bd_and_primary_vlan, "vlan_get_bd_and_primary_vlan", status},
    {PeerFn::hostctl_slice_get, "hostctl_slice_get", value},
    {PeerFn::if_index_get_type, "if_index_get_type", status},
    {PeerFn::phyport_gldb_get_ifindex_port_mode, "phyport_gldb_get_ifindex_port_mode", status},
}};

constexpr bool in_enum_order() {
    for (size_t i = 0; i < kFns.size(); ++i)
        if (static_cast<size_t>(kFns[i].fn) != i)
            return false;
    return true;
}
static_assert(in_enum_order(), "one row per PeerFn, in enum order");

const FnInfo &info(PeerFn fn) { return kFns[static_cast<size_t>(fn)]; }

} // namespace

const char *peer_fn_name(PeerFn fn) { return info(fn).name; }
PeerFnKind peer_fn_kind(PeerFn fn) { return info(fn).kind; }

} // namespace sim
