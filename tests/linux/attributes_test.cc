// SPDX-License-Identifier: MIT
// Each attribute the kernel can change answers the new value after the
// change's notification is dispatched, from the cache (no kernel round trip)
// and in agreement with a fresh kernel answer.
#include "host_fixture.h"
#include "netif.h"

namespace hosttest {
namespace {

const std::array<uint8_t, 6> kNewMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x42};

struct Link {
    uint32_t near, peer, bridge;
};

using Control = lcache_linux::LinkControl;

struct AttributeCase {
    const char *name;
    void (*change)(Control &, const Link &);
    uint32_t (*cached)(uint32_t iod);
    uint32_t (*kernel)(uint32_t iod);
    uint32_t expected;
};

uint32_t cached_mtu(uint32_t iod) { return lcache_netif_get_if_mtu(iod); }
uint32_t cached_mac_is_new(uint32_t iod) {
    return lcache_netif_is_if_mac_addr(iod, kNewMac.data());
}
uint32_t kernel_mac_is_new(uint32_t iod) { return netif_is_if_mac_addr(iod, kNewMac.data()); }

void down(Control &c, uint32_t index) { ASSERT_EQ(c.set_up(index, false), 0); }
void up(Control &c, uint32_t index) { ASSERT_EQ(c.set_up(index, true), 0); }
void enslave(Control &c, const Link &l) { ASSERT_EQ(c.set_master(l.near, l.bridge), 0); }
void lose_carrier(Control &c, const Link &l) { down(c, l.peer); }
void shut(Control &c, const Link &l) { down(c, l.near); }

// clang-format off
const AttributeCase kCases[] = {
    {"CarrierLostFromThePeerEnd", lose_carrier, lcache_netif_is_linkup, netif_is_linkup, 0},
    {"ProtocolFollowsTheCarrier", lose_carrier, lcache_netif_is_protoup, netif_is_protoup, 0},
    {"CarrierRegained", [](Control &c, const Link &l) { down(c, l.peer); up(c, l.peer); },
     lcache_netif_is_linkup, netif_is_linkup, 1},
    {"AdministrativelyDown", shut, lcache_netif_is_protoup, netif_is_protoup, 0},
    {"AdministrativelyDownDropsTheLink", shut, lcache_netif_is_linkup, netif_is_linkup, 0},
    {"Mtu", [](Control &c, const Link &l) { ASSERT_EQ(c.set_mtu(l.near, 1400), 0); }, cached_mtu,
     netif_get_if_mtu, 1400},
    {"Mac", [](Control &c, const Link &l) { ASSERT_EQ(c.set_mac(l.near, kNewMac), 0); },
     cached_mac_is_new, kernel_mac_is_new, 1},
    {"EnslavedToABridge", enslave, lcache_netif_is_switchport, netif_is_switchport, 1},
    {"SwitchingOnABridgePort", enslave, lcache_netif_is_switching_enabled_on_iod,
     netif_is_switching_enabled_on_iod, 1},
    {"ReleasedFromTheBridge",
     [](Control &c, const Link &l) { enslave(c, l); ASSERT_EQ(c.set_master(l.near, 0), 0); },
     lcache_netif_is_switchport, netif_is_switchport, 0},
};
// clang-format on

void PrintTo(const AttributeCase &tc, std::ostream *os) { *os << tc.name; }

class Attribute : public HostTest, public ::testing::WithParamInterface<AttributeCase> {};

TEST_P(Attribute, AnswersTheNewValueFromTheCacheAfterDispatch) {
    const AttributeCase &tc = GetParam();
    Link link{veth_up("port1", "peer1"), if_nametoindex("peer1"), 0};
    ASSERT_EQ(control.add_bridge("br0"), 0);
    link.bridge = if_nametoindex("br0");
    up(control, link.bridge);
    ASSERT_TRUE(dispatch_until([&] { return lcache_netif_is_protoup(link.near) == 1; }))
        << "the link never came up";

    tc.change(control, link);
    EXPECT_TRUE(dispatch_until([&] {
        return counters().messages_handled > 0 && tc.cached(link.near) == tc.expected;
    })) << "the change was not handed to the cache, or not stored";
    lcache_linux_reset_counters();
    EXPECT_EQ(tc.cached(link.near), tc.expected);
    EXPECT_EQ(counters().round_trips, 0u) << "the answer was not stored by the notification";
    EXPECT_EQ(tc.kernel(link.near), tc.expected);
}

INSTANTIATE_TEST_SUITE_P(Kernel, Attribute, ::testing::ValuesIn(kCases),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

} // namespace
} // namespace hosttest
