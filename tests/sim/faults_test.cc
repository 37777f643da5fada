// Call counters and injected faults.  That each function is counted as
// itself and lives in the right library shows in the cache's suites, which
// count calls and run on liblcache's own fallbacks.
#include <stdexcept>

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

// A status fault answers the next calls and leaves the outputs alone; a
// value fault answers until cleared or replaced, cut to the function's type.
TEST_F(SimPeers, AFaultAnswersTheCallsItIsArmedFor) {
    inject_fault(PeerFn::dmap_lib_ifidx_to_di, {FaultKind::status, 77, 2});
    inject_fault(PeerFn::netif_is_linkup, {FaultKind::value, 0, std::nullopt});
    inject_fault(PeerFn::netif_get_if_name, {FaultKind::value, 0, 1});
    inject_fault(PeerFn::hostctl_slice_get, {FaultKind::value, 0x12345, 1});
    uint32_t di = 5;
    for (const uint32_t result : {77u, 77u, status::ok}) {
        EXPECT_EQ(dmap_lib_ifidx_to_di(eth1, &di), result);
        EXPECT_EQ(di, result ? 5u : model.at(eth1).pi); // a failure leaves the output alone
    }
    EXPECT_EQ(call_count(PeerFn::dmap_lib_ifidx_to_di), 3u); // faulted calls count too
    EXPECT_EQ(netif_is_linkup(iod(eth1)) + netif_is_linkup(iod(eth1)), 0u);
    EXPECT_EQ(netif_is_protoup(iod(eth1)), 1u);
    EXPECT_EQ(netif_get_if_name(iod(eth1)), nullptr);
    EXPECT_STREQ(netif_get_if_name(iod(eth1)), "Ethernet1/1");
    EXPECT_EQ(hostctl_slice_get(), 0x2345);
    EXPECT_EQ(hostctl_slice_get(), model.slice());
    inject_fault(PeerFn::netif_is_linkup, {FaultKind::value, 2, std::nullopt}); // replaces
    EXPECT_EQ(netif_is_linkup(kUnknownIod), 2u);
    clear_faults();
    EXPECT_EQ(netif_is_linkup(iod(eth1)), 1u);
}

TEST(SimFaults, FaultsThatCannotDescribeAFailureAreRefused) {
    const std::pair<PeerFn, Fault> refused[] = {
        {PeerFn::netif_is_linkup, {FaultKind::status, 5, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::value, 5, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::status, 5, 0}},
        {PeerFn::netif_get_if_name, {FaultKind::value, 1, 1}},
        {PeerFn::netif_get_if_name, {FaultKind::status, 1, 1}},
    };
    for (const auto &[fn, fault] : refused)
        EXPECT_THROW(inject_fault(fn, fault), std::invalid_argument) << peer_fn_name(fn);
}

} // namespace
