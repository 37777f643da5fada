// Each attribute the kernel can change answers the new value after the
// change's notification is dispatched, from the cache (no kernel round trip)
// and in agreement with a fresh kernel answer.
#include <functional>

#include "host_fixture.h"
#include "netif.h"

namespace hosttest {
namespace {

const std::array<uint8_t, 6> kNewMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x42};

struct Link {
    uint32_t near, peer, bridge;
};

struct AttributeCase {
    const char *name;
    std::function<void(lcache_linux::LinkControl &, const Link &)> change;
    uint32_t (*cached)(uint32_t iod);
    uint32_t (*kernel)(uint32_t iod);
    uint32_t expected;
};

uint32_t cached_mtu(uint32_t iod) { return lcache_netif_get_if_mtu(iod); }
uint32_t cached_mac_is_new(uint32_t iod) { return lcache_netif_is_if_mac_addr(iod, kNewMac.data()); }
uint32_t kernel_mac_is_new(uint32_t iod) { return netif_is_if_mac_addr(iod, kNewMac.data()); }

void down(lcache_linux::LinkControl &c, uint32_t index) { ASSERT_EQ(c.set_up(index, false), 0); }
void up(lcache_linux::LinkControl &c, uint32_t index) { ASSERT_EQ(c.set_up(index, true), 0); }

const AttributeCase kCases[] = {
    {"CarrierLostFromThePeerEnd", [](auto &c, const Link &l) { down(c, l.peer); },
     lcache_netif_is_linkup, netif_is_linkup, 0},
    {"ProtocolFollowsTheCarrier", [](auto &c, const Link &l) { down(c, l.peer); },
     lcache_netif_is_protoup, netif_is_protoup, 0},
    {"CarrierRegained",
     [](auto &c, const Link &l) {
         down(c, l.peer);
         up(c, l.peer);
     },
     lcache_netif_is_linkup, netif_is_linkup, 1},
    {"AdministrativelyDown", [](auto &c, const Link &l) { down(c, l.near); },
     lcache_netif_is_protoup, netif_is_protoup, 0},
    {"AdministrativelyDownDropsTheLink", [](auto &c, const Link &l) { down(c, l.near); },
     lcache_netif_is_linkup, netif_is_linkup, 0},
    {"Mtu", [](auto &c, const Link &l) { ASSERT_EQ(c.set_mtu(l.near, 1400), 0); }, cached_mtu,
     netif_get_if_mtu, 1400},
    {"Mac", [](auto &c, const Link &l) { ASSERT_EQ(c.set_mac(l.near, kNewMac), 0); },
     cached_mac_is_new, kernel_mac_is_new, 1},
    {"EnslavedToABridge", [](auto &c, const Link &l) { ASSERT_EQ(c.set_master(l.near, l.bridge), 0); },
     lcache_netif_is_switchport, netif_is_switchport, 1},
    {"SwitchingOnABridgePort",
     [](auto &c, const Link &l) { ASSERT_EQ(c.set_master(l.near, l.bridge), 0); },
     lcache_netif_is_switching_enabled_on_iod, netif_is_switching_enabled_on_iod, 1},
    {"ReleasedFromTheBridge",
     [](auto &c, const Link &l) {
         ASSERT_EQ(c.set_master(l.near, l.bridge), 0);
         ASSERT_EQ(c.set_master(l.near, 0), 0);
     },
     lcache_netif_is_switchport, netif_is_switchport, 0},
};

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
