// Call counters and injected faults.
#include <functional>
#include <set>
#include <stdexcept>

#include <dlfcn.h>
#include <gmock/gmock.h>

#include "agg.h"
#include "dmap.h"
#include "hostctl.h"
#include "if_index.h"
#include "lifsvc.h"
#include "netif.h"
#include "phyport.h"
#include "rtctx.h"
#include "sim_fixture.h"
#include "vlan_mgr.h"

using namespace sim;

namespace {

using SimPeers = SimSwitchTest;

TEST_F(SimPeers, StatusFaultHitsTheNextCallsAndLeavesOutputsUntouched) {
    inject_fault(PeerFn::dmap_lib_ifidx_to_di, {FaultKind::status, 77, 2});
    uint32_t di = 5;
    EXPECT_EQ(dmap_lib_ifidx_to_di(eth1, &di), 77u);
    EXPECT_EQ(dmap_lib_ifidx_to_di(eth1, &di), 77u);
    EXPECT_EQ(di, 5u);
    EXPECT_EQ(dmap_lib_ifidx_to_di(eth1, &di), status::ok);
    EXPECT_EQ(di, model.at(eth1).pi);
    EXPECT_EQ(call_count(PeerFn::dmap_lib_ifidx_to_di), 3u); // faulted calls count too
}

TEST_F(SimPeers, ValueFaultPersistsUntilClearedAndSkipsTheOutputs) {
    inject_fault(PeerFn::netif_is_linkup, {FaultKind::value, 0, std::nullopt});
    inject_fault(PeerFn::netif_get_private_data, {FaultKind::value, 0x55, std::nullopt});
    inject_fault(PeerFn::netif_get_if_name, {FaultKind::value, 0, 1});
    inject_fault(PeerFn::hostctl_slice_get, {FaultKind::value, 0x12345, 1});
    uint32_t size = 3;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(netif_is_linkup(iod(eth1)), 0u);
        EXPECT_EQ(netif_get_private_data(iod(eth1), 1, &size), 0x55u);
    }
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(netif_is_protoup(iod(eth1)), 1u); // other functions are not affected
    EXPECT_EQ(netif_get_if_name(iod(eth1)), nullptr);
    EXPECT_STREQ(netif_get_if_name(iod(eth1)), "Ethernet1/1");
    EXPECT_EQ(hostctl_slice_get(), 0x2345); // cut to the function's type
    EXPECT_EQ(hostctl_slice_get(), model.slice());

    inject_fault(PeerFn::netif_is_linkup, {FaultKind::value, 2, std::nullopt}); // replaces
    EXPECT_EQ(netif_is_linkup(kUnknownIod), 2u);
    clear_fault(PeerFn::netif_is_linkup);
    EXPECT_EQ(netif_is_linkup(iod(eth1)), 1u);
    clear_faults();
    EXPECT_EQ(netif_get_private_data(iod(eth1), 1, &size), 0u);
}

TEST(SimFaults, FaultsThatCannotDescribeAFailureAreRefused) {
    const struct {
        PeerFn fn;
        Fault fault;
    } rows[] = {
        {PeerFn::netif_is_linkup, {FaultKind::status, 5, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::value, 5, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::status, 0, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::status, 5, 0}},
        {PeerFn::netif_get_if_name, {FaultKind::value, 1, 1}},
        {PeerFn::netif_get_if_name, {FaultKind::status, 1, 1}},
    };
    for (const auto &row : rows)
        EXPECT_THROW(inject_fault(row.fn, row.fault), std::invalid_argument)
            << peer_fn_name(row.fn);
}

class ThrowingBackend : public ModelBackend {
  public:
    using ModelBackend::ModelBackend;
    Reply<uint32_t> dmap_lib_ifidx_to_di(IfIndex) override { throw std::runtime_error("down"); }
    uint16_t netif_get_if_mtu(uint32_t) override { throw std::bad_alloc(); }
};

TEST_F(SimPeers, ExceptionsInsideTheSimulationBecomeFailures) {
    ThrowingBackend throwing(model);
    set_active_backend(&throwing);
    uint32_t di = 5;
    EXPECT_EQ(dmap_lib_ifidx_to_di(eth1, &di), status::internal);
    EXPECT_EQ(di, 5u);
    EXPECT_EQ(netif_get_if_mtu(iod(eth1)), 0u);
    EXPECT_EQ(netif_is_linkup(iod(eth1)), 1u);
}

// One call of every peer function: it is counted as itself, and is found
// under its own name in the library that must define it (liblcache has
// fallbacks for nine, which libsim_peers replaces).
TEST_F(SimPeers, EveryFunctionIsCountedAndPackagedAsItself) {
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    uint8_t mac[6]{};
    char name[32];
    netif_vlan_info_t info{};
    netif_port_mode_req_t req{};
    agg_pc_info_t pc{};
    const uint32_t i = iod(eth1);
    const std::pair<PeerFn, std::function<void()>> calls[] = {
        {PeerFn::netif_is_switchport, [&] { netif_is_switchport(i); }},
        {PeerFn::netif_is_linkup, [&] { netif_is_linkup(i); }},
        {PeerFn::netif_is_protoup, [&] { netif_is_protoup(i); }},
        {PeerFn::netif_is_ethernet, [&] { netif_is_ethernet(i); }},
        {PeerFn::netif_is_vlan, [&] { netif_is_vlan(i); }},
        {PeerFn::netif_is_loopback, [&] { netif_is_loopback(i); }},
        {PeerFn::netif_is_native_p2p, [&] { netif_is_native_p2p(i); }},
        {PeerFn::netif_is_null0, [&] { netif_is_null0(i); }},
        {PeerFn::netif_is_switching_enabled_on_iod, [&] { netif_is_switching_enabled_on_iod(i); }},
        {PeerFn::netif_is_mgmtether, [&] { netif_is_mgmtether(i); }},
        {PeerFn::netif_is_super_802_3ad, [&] { netif_is_super_802_3ad(i); }},
        {PeerFn::netif_is_gre_tunnel, [&] { netif_is_gre_tunnel(i); }},
        {PeerFn::netif_is_stretch_tunnel, [&] { netif_is_stretch_tunnel(i); }},
        {PeerFn::netif_is_mpls_tunnel, [&] { netif_is_mpls_tunnel(i); }},
        {PeerFn::netif_is_6to4_tunnel, [&] { netif_is_6to4_tunnel(i); }},
        {PeerFn::netif_get_if_mtu, [&] { netif_get_if_mtu(i); }},
        {PeerFn::netif_get_if_encaptype, [&] { netif_get_if_encaptype(i); }},
        {PeerFn::netif_get_if_vlanid, [&] { netif_get_if_vlanid(i); }},
        {PeerFn::netif_get_sub_interface_parent, [&] { netif_get_sub_interface_parent(i); }},
        {PeerFn::netif_get_vlan_info, [&] { netif_get_vlan_info(i, &info, &u32); }},
        {PeerFn::netif_get_if_src_mac_addr, [&] { netif_get_if_src_mac_addr(i, mac); }},
        {PeerFn::netif_is_if_mac_addr, [&] { netif_is_if_mac_addr(i, mac); }},
        {PeerFn::netif_get_if_name, [&] { netif_get_if_name(i); }},
        {PeerFn::netif_get_private_data, [&] { netif_get_private_data(i, 1, &u32); }},
        {PeerFn::netif_get_extension, [&] { netif_get_extension(i, 1); }},
        {PeerFn::netif_is_extension_set, [&] { netif_is_extension_set(i, 1); }},
        {PeerFn::netif_get_iod_frm_ifindex, [&] { netif_get_iod_frm_ifindex(eth1, &u32); }},
        {PeerFn::netif_get_ifindex_frm_iod, [&] { netif_get_ifindex_frm_iod(i, &u32); }},
        {PeerFn::netif_get_ifindex_name, [&] { netif_get_ifindex_name(eth1, name, 32); }},
        {PeerFn::netif_get_ifindex_port_mode_list,
         [&] { netif_get_ifindex_port_mode_list(&req, 1); }},
        {PeerFn::agg_get_pc_info, [&] { agg_get_pc_info(&pc); }},
        {PeerFn::agg_get_pc_mbr_ifidx_from_rbh,
         [&] { agg_get_pc_mbr_ifidx_from_rbh(po1, 0, &u32); }},
        {PeerFn::dmap_lib_si_to_ifidx, [&] { dmap_lib_si_to_ifidx(kFirstPi, &u32); }},
        {PeerFn::dmap_lib_ifidx_to_di, [&] { dmap_lib_ifidx_to_di(eth1, &u32); }},
        {PeerFn::dmap_lib_bd_to_di, [&] { dmap_lib_bd_to_di(10, &u32); }},
        {PeerFn::lifsvc_query_ifindex_to_lif, [&] { lifsvc_query_ifindex_to_lif(eth1, &u32); }},
        {PeerFn::lifsvc_query_lif_to_ifindex,
         [&] { lifsvc_query_lif_to_ifindex(kFirstLif, &u32); }},
        {PeerFn::rtctx_if_get_context_id, [&] { rtctx_if_get_context_id(i); }},
        {PeerFn::rtctx_if_get_table_id, [&] { rtctx_if_get_table_id(i, 1, "base"); }},
        {PeerFn::vlan_get_bd,
         [&] {
             vlan_get_bd({1, 10}, &u16);
         }},
        {PeerFn::vlan_get_bd_and_primary_vlan,
         [&] {
             vlan_get_bd_and_primary_vlan({1, 10}, &u16, &u32);
         }},
        {PeerFn::hostctl_slice_get, [&] { hostctl_slice_get(); }},
        {PeerFn::if_index_get_type, [&] { if_index_get_type(eth1, &u8); }},
        {PeerFn::phyport_gldb_get_ifindex_port_mode,
         [&] { phyport_gldb_get_ifindex_port_mode(eth1, &u32); }},
    };
    static_assert(std::size(calls) == kPeerFnCount);
    const std::set<PeerFn> in_peers{PeerFn::agg_get_pc_mbr_ifidx_from_rbh,
                                    PeerFn::dmap_lib_si_to_ifidx,
                                    PeerFn::dmap_lib_ifidx_to_di,
                                    PeerFn::dmap_lib_bd_to_di,
                                    PeerFn::phyport_gldb_get_ifindex_port_mode,
                                    PeerFn::vlan_get_bd,
                                    PeerFn::vlan_get_bd_and_primary_vlan,
                                    PeerFn::lifsvc_query_ifindex_to_lif,
                                    PeerFn::lifsvc_query_lif_to_ifindex};
    for (size_t n = 0; n < std::size(calls); ++n) {
        const auto &[fn, call] = calls[n];
        SCOPED_TRACE(peer_fn_name(fn));
        call();
        EXPECT_EQ(call_count(fn), 1u);
        EXPECT_EQ(total_calls(), n + 1);
        Dl_info where{};
        void *symbol = dlsym(RTLD_DEFAULT, peer_fn_name(fn));
        ASSERT_TRUE(symbol && dladdr(symbol, &where));
        EXPECT_THAT(where.dli_fname,
                    ::testing::EndsWith(in_peers.contains(fn) ? "/libsim_peers.so" : "/libsim.so"));
    }
    reset_call_counts();
    EXPECT_EQ(total_calls(), 0u);
}

} // namespace
