// SPDX-License-Identifier: MIT
// Every peer function the simulation answers, declared once.  The enum and
// names below, the backend interface (sim/peer_backend.h) and its
// overrides, the remote backend's requests, the server's dispatch and the
// extern "C" entry points are all expanded from SIM_PEER_FUNCTIONS; adding
// a peer function is one line here and its model behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

// X(name, kind, Result, (parameters), (arguments), entry, library):
//   kind     how the C function reports (PeerFnKind)
//   Result   the backend's answer; Reply<T> carries a status and a value
//   entry    how its extern "C" entry point is made: value (the result
//            widened to uint32_t), out (a status, and the Reply's value in a
//            last out-parameter), custom (written by hand: records, buffers)
//   library  sim, or peers: the nine functions liblcache carries fallbacks
//            for live in libsim_peers
// By iod, an unknown iod answers false / 0; rtctx answers 0 for "not
// known"; netif_get_private_data answers {0, 0} for "none";
// netif_get_ifindex_port_mode_list gives one mode per ifindex, in order,
// and fails as a whole.
#define SIM_PEER_FUNCTIONS(X)                                                                      \
    X(netif_is_switchport, value, bool, (uint32_t iod), (iod), value, sim)                         \
    X(netif_is_linkup, value, bool, (uint32_t iod), (iod), value, sim)                             \
    X(netif_is_protoup, value, bool, (uint32_t iod), (iod), value, sim)                            \
    X(netif_is_ethernet, value, bool, (uint32_t iod), (iod), value, sim)                           \
    X(netif_is_vlan, value, bool, (uint32_t iod), (iod), value, sim)                               \
    X(netif_is_loopback, value, bool, (uint32_t iod), (iod), value, sim)                           \
    X(netif_is_native_p2p, value, bool, (uint32_t iod), (iod), value, sim)                         \
    X(netif_is_null0, value, bool, (uint32_t iod), (iod), value, sim)                              \
    X(netif_is_switching_enabled_on_iod, value, bool, (uint32_t iod), (iod), value, sim)           \
    X(netif_is_mgmtether, value, bool, (uint32_t iod), (iod), value, sim)                          \
    X(netif_is_super_802_3ad, value, bool, (uint32_t iod), (iod), value, sim)                      \
    X(netif_is_gre_tunnel, value, bool, (uint32_t iod), (iod), value, sim)                         \
    X(netif_is_stretch_tunnel, value, bool, (uint32_t iod), (iod), value, sim)                     \
    X(netif_is_mpls_tunnel, value, bool, (uint32_t iod), (iod), value, sim)                        \
    X(netif_is_6to4_tunnel, value, bool, (uint32_t iod), (iod), value, sim)                        \
    X(netif_get_if_mtu, value, uint16_t, (uint32_t iod), (iod), value, sim)                        \
    X(netif_get_if_encaptype, value, uint16_t, (uint32_t iod), (iod), value, sim)                  \
    X(netif_get_if_vlanid, value, uint16_t, (uint32_t iod), (iod), value, sim)                     \
    X(netif_get_sub_interface_parent, value, IfIndex, (uint32_t iod), (iod), value, sim)           \
    X(netif_get_vlan_info, value, Reply<PortVlan>, (uint32_t iod), (iod), custom, sim)             \
    X(netif_get_if_src_mac_addr, status, Reply<Mac>, (uint32_t iod), (iod), custom, sim)           \
    X(netif_is_if_mac_addr, value, bool, (uint32_t iod, const Mac &mac), (iod, mac), custom, sim)  \
    X(netif_get_if_name, name, Reply<std::string>, (uint32_t iod), (iod), custom, sim)             \
    X(netif_get_private_data, value, PrivateData, (uint32_t iod, uint32_t key), (iod, key),        \
      custom, sim)                                                                                 \
    X(netif_get_extension, value, uint32_t, (uint32_t iod, uint32_t key), (iod, key), value, sim)  \
    X(netif_is_extension_set, value, bool, (uint32_t iod, uint32_t key), (iod, key), value, sim)   \
    X(netif_get_iod_frm_ifindex, status, Reply<uint32_t>, (IfIndex ifindex), (ifindex), out, sim)  \
    X(netif_get_ifindex_frm_iod, status, Reply<IfIndex>, (uint32_t iod), (iod), out, sim)          \
    X(netif_get_ifindex_name, status, Reply<std::string>, (IfIndex ifindex), (ifindex), custom,    \
      sim)                                                                                         \
    X(netif_get_ifindex_port_mode_list, status, Reply<std::vector<uint32_t>>,                      \
      (const std::vector<IfIndex> &ifindexes), (ifindexes), custom, sim)                           \
    X(agg_get_pc_info, status, Reply<PortChannelInfo>, (IfIndex channel), (channel), custom, sim)  \
    X(agg_get_pc_mbr_ifidx_from_rbh, status, Reply<IfIndex>, (IfIndex channel, uint8_t hash),      \
      (channel, hash), custom, peers)                                                              \
    X(dmap_lib_si_to_ifidx, status, Reply<IfIndex>, (uint32_t si), (si), out, peers)               \
    X(dmap_lib_ifidx_to_di, status, Reply<uint32_t>, (IfIndex ifindex), (ifindex), out, peers)     \
    X(dmap_lib_bd_to_di, status, Reply<uint32_t>, (uint16_t bd), (bd), custom, peers)              \
    X(lifsvc_query_ifindex_to_lif, status, Reply<uint32_t>, (IfIndex ifindex), (ifindex), out,     \
      peers)                                                                                       \
    X(lifsvc_query_lif_to_ifindex, status, Reply<IfIndex>, (uint32_t lif), (lif), out, peers)      \
    X(rtctx_if_get_context_id, value, uint32_t, (uint32_t iod), (iod), value, sim)                 \
    X(rtctx_if_get_table_id, value, uint32_t, (uint32_t iod, uint32_t af, std::string_view name),  \
      (iod, af, name), custom, sim)                                                                \
    X(vlan_get_bd, status, Reply<uint16_t>, (VlanKey key), (key), custom, peers)                   \
    X(vlan_get_bd_and_primary_vlan, status, Reply<BdAndPrimary>, (VlanKey key), (key), custom,     \
      peers)                                                                                       \
    X(hostctl_slice_get, value, uint16_t, (), (), custom, sim)                                     \
    X(if_index_get_type, status, Reply<uint8_t>, (IfIndex ifindex), (ifindex), out, sim)           \
    X(phyport_gldb_get_ifindex_port_mode, status, Reply<uint32_t>, (IfIndex ifindex), (ifindex),   \
      out, peers)

namespace sim {

#define SIM_PEER_ENUM(name, ...) name,
enum class PeerFn : uint8_t { SIM_PEER_FUNCTIONS(SIM_PEER_ENUM) };
#undef SIM_PEER_ENUM

#define SIM_PEER_COUNT(...) +1
inline constexpr size_t kPeerFnCount = 0 SIM_PEER_FUNCTIONS(SIM_PEER_COUNT);
#undef SIM_PEER_COUNT

// How a function reports: a status (0 = success, outputs written only on
// success), a value or boolean, or a name pointer (NULL = none).
enum class PeerFnKind { status, value, name };

// The C name, e.g. "netif_is_linkup".
const char *peer_fn_name(PeerFn fn);
PeerFnKind peer_fn_kind(PeerFn fn);

// Answered inside the calling process whatever serves the others: the
// classification reads the ifindex's own bits, and the slice is the
// process's own setting.  They are never a round trip to a peer.
constexpr bool answered_locally(PeerFn fn) {
    return fn == PeerFn::if_index_get_type || fn == PeerFn::hostctl_slice_get;
}

} // namespace sim
