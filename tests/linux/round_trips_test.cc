// SPDX-License-Identifier: MIT
// What the peers cost in kernel round trips: a cold entry reads each link
// it needs once; while the bridge is open an answer is kept until the next
// dispatch, and while it is closed every call asks.
#include <functional>

#include "answers.h"
#include "host_fixture.h"

namespace hosttest {
namespace {

struct ColdCase {
    const char *name;
    const char *question;
    std::function<void(uint32_t iod)> ask;
    bool bridge_port;
};

void PrintTo(const ColdCase &tc, std::ostream *os) { *os << tc.name; }

// A port answers from its own link; a bridge port also reads its bridge's.
const ColdCase kColdCases[] = {
    {"PlainVethMtu", "mtu", [](uint32_t iod) { lcache_netif_get_if_mtu(iod); }, false},
    {"PlainVethLinkup", "linkup", [](uint32_t iod) { lcache_netif_is_linkup(iod); }, false},
    {"PlainVethName", "name", [](uint32_t iod) { lcache_netif_get_if_name(iod); }, false},
    {"PlainVethMac", "mac", [](uint32_t iod) { lcache_netif_get_if_mac_addr(iod); }, false},
    {"BridgePortMtu", "mtu", [](uint32_t iod) { lcache_netif_get_if_mtu(iod); }, true},
    {"BridgePortSwitchport", "switchport", [](uint32_t iod) { lcache_netif_is_switchport(iod); },
     true},
    {"BridgePortName", "name", [](uint32_t iod) { lcache_netif_get_if_name(iod); }, true},
};

class ColdFill : public HostTest, public ::testing::WithParamInterface<ColdCase> {};

TEST_P(ColdFill, TheFirstQuestionReadsEachLinkOnceAndFillsEverything) {
    const ColdCase &tc = GetParam();
    uint32_t port = veth_up("port1", "peer1");
    if (tc.bridge_port) {
        ASSERT_EQ(control.add_bridge("br0"), 0);
        ASSERT_EQ(control.set_master(port, if_nametoindex("br0")), 0);
    }
    dispatch();
    EXPECT_LE(round_trips_of([&] { tc.ask(port); }), tc.bridge_port ? 2u : 1u)
        << "the first " << tc.question << " question";
    EXPECT_EQ(round_trips_of([&] { cached_answers(port); }), 0u)
        << "the entry was not filled whole";
}

INSTANTIATE_TEST_SUITE_P(Kernel, ColdFill, ::testing::ValuesIn(kColdCases),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(HostTest, WithTheBridgeClosedEveryPeerCallAsksTheKernel) {
    uint32_t port = veth_up("port1", "peer1");
    lcache_linux_close();
    const std::function<void()> calls[] = {
        [&] { EXPECT_EQ(netif_get_if_mtu(port), 1500u); },
        [&] { netif_is_linkup(port); },
        [&] { EXPECT_STREQ(netif_get_if_name(port), "port1"); },
        [&] {
            char name[IF_NAMESIZE];
            EXPECT_EQ(netif_get_ifindex_name(ethernet_ifindex(port), name, sizeof name), 0u);
        },
    };
    for (const auto &call : calls) {
        EXPECT_EQ(round_trips_of(call), 1u);
        EXPECT_EQ(round_trips_of(call), 1u) << "a closed bridge kept an answer";
    }
}

// The link stays down, so nothing arrives that the test did not cause.
TEST_F(HostTest, AnAnswerKeptWhileOpenLastsUntilTheNextDispatch) {
    ASSERT_EQ(control.add_veth("port1", "peer1"), 0);
    uint32_t port = if_nametoindex("port1");
    dispatch();
    EXPECT_EQ(round_trips_of([&] { netif_get_if_mtu(port); }), 1u);
    EXPECT_EQ(round_trips_of([&] { netif_get_if_mtu(port), netif_is_linkup(port); }), 0u)
        << "the answer was not kept";
    EXPECT_EQ(dispatch(), 0);
    EXPECT_EQ(round_trips_of([&] { netif_get_if_mtu(port); }), 1u)
        << "an answer outlived a dispatch with nothing to hand over";

    ASSERT_EQ(control.set_mtu(port, 1400), 0);
    EXPECT_TRUE(dispatch_until([&] { return lcache_netif_get_if_mtu(port) == 1400; }));
    EXPECT_EQ(netif_get_if_mtu(port), 1400u) << "the peer kept the answer the change replaced";
}

} // namespace
} // namespace hosttest
