// Which attributes a notification leaves fresh: after it, a query of a
// fresh attribute is answered without the interface manager, a query of a
// stale one asks it once.
#include <functional>

#include "notify_fixture.h"

namespace lctest {
namespace {

struct Probe {
    const char *name;
    uint32_t bit;
    sim::PeerFn peer;
    void (*ask)(uint32_t iod);
};

const Probe kProbes[] = {
    {"linkup", LCACHE_ATTR_LINKUP, sim::PeerFn::netif_is_linkup,
     [](uint32_t i) { lcache_netif_is_linkup(i); }},
    {"protoup", LCACHE_ATTR_PROTOUP, sim::PeerFn::netif_is_protoup,
     [](uint32_t i) { lcache_netif_is_protoup(i); }},
    {"mac", LCACHE_ATTR_MAC, sim::PeerFn::netif_get_if_src_mac_addr,
     [](uint32_t i) { lcache_netif_get_if_mac_addr(i); }},
    {"mtu", LCACHE_ATTR_MTU, sim::PeerFn::netif_get_if_mtu,
     [](uint32_t i) { lcache_netif_get_if_mtu(i); }},
    {"switchport", LCACHE_ATTR_SWITCHPORT, sim::PeerFn::netif_is_switchport,
     [](uint32_t i) { lcache_netif_is_switchport(i); }},
    {"switching", LCACHE_ATTR_SWITCHING, sim::PeerFn::netif_is_switching_enabled_on_iod,
     [](uint32_t i) { lcache_netif_is_switching_enabled_on_iod(i); }},
    {"vlan", LCACHE_ATTR_VLAN, sim::PeerFn::netif_get_vlan_info,
     [](uint32_t i) {
         netif_vlan_info_t info;
         uint32_t word;
         lcache_netif_get_vlan_info(i, &info, &word);
     }},
    {"p2p", LCACHE_ATTR_P2P, sim::PeerFn::netif_is_native_p2p,
     [](uint32_t i) { lcache_netif_is_native_p2p(i); }},
    {"ethernet", LCACHE_ATTR_ETHERNET, sim::PeerFn::netif_is_ethernet,
     [](uint32_t i) { lcache_netif_is_ethernet(i); }},
    {"encap", LCACHE_ATTR_ENCAP, sim::PeerFn::netif_get_if_encaptype,
     [](uint32_t i) { lcache_netif_get_if_encaptype(i); }},
};

constexpr uint32_t kAllProbed = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_MAC |
                                LCACHE_ATTR_MTU | LCACHE_ATTR_SWITCHPORT | LCACHE_ATTR_SWITCHING |
                                LCACHE_ATTR_VLAN | LCACHE_ATTR_P2P | LCACHE_ATTR_ETHERNET |
                                LCACHE_ATTR_ENCAP;
constexpr uint32_t kFlags = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;

using NotifyDirtyBits = NotifyTest;

// Each case marks every kept attribute of the interface stale, runs its
// notification, then asks each probed attribute once.
TEST_F(NotifyDirtyBits, EachNotificationFreshensWhatItSays) {
    struct Case {
        const char *name;
        sim::IfIndex ifindex;
        std::function<void(uint32_t iod)> notify;
        uint32_t fresh;
    };
    const auto l2 = [&](sim::IfIndex ifindex, auto update) {
        return [this, ifindex, update](uint32_t) {
            const lcache_l2_msg_t msg = l2_record(ifindex);
            update(&msg);
        };
    };
    const auto l3 = [&](uint8_t state) {
        return [this, state](uint32_t) {
            lcache_l3_msg_t msg = l3_record(svi, state);
            lcache_update_l3_state(&msg);
        };
    };
    const uint32_t mtu_changed[1] = {1u << sim::kL3ParamMtu};
    const Case cases[] = {
        {"phy up", svi,
         [&](uint32_t) {
             const lcache_state_msg_t msg = state_record(svi, 1);
             lcache_update_phy_state(&msg);
         },
         0},
        {"l2, VLAN interface", svi, l2(svi, lcache_update_l2_state), kFlags},
        {"l2, GRE tunnel", gre, l2(gre, lcache_update_l2_state), kFlags},
        {"l2, management port", mgmt, l2(mgmt, lcache_update_l2_state), kFlags},
        // The port's link state belongs to its phy notifications.
        {"l2, Ethernet port", eth1, l2(eth1, lcache_update_l2_state), LCACHE_ATTR_PROTOUP},
        // Their keys follow another interface: the whole entry is refreshed.
        {"l2, sub-interface", subif, l2(subif, lcache_update_l2_state), kAllProbed},
        {"l2, port-channel", po1, l2(po1, lcache_update_l2_state), kAllProbed},
        {"l3 down", svi, l3(0), kFlags},
        {"l3 up", svi, l3(1), kFlags | LCACHE_ATTR_MAC | LCACHE_ATTR_ENCAP | LCACHE_ATTR_ETHERNET},
        {"l3 param, MTU changed", gre,
         [&](uint32_t) {
             const lcache_state_msg_t msg = state_record(gre, 0);
             lcache_update_l3_param(&msg, mtu_changed);
         },
         LCACHE_ATTR_P2P},
        {"l2 bundle", po1, l2(po1, lcache_update_l2_bundle_state), kFlags},
        {"l2 bundle, Ethernet port", eth1, l2(eth1, lcache_update_l2_bundle_state), kFlags},
        {"l3 bundle", po1,
         [&](uint32_t) {
             const lcache_l3_msg_t msg = l3_record(po1, 1);
             lcache_update_l3_bundle_state(&msg);
             EXPECT_EQ(calls(sim::PeerFn::netif_is_linkup) + calls(sim::PeerFn::netif_is_protoup),
                       0u);
         },
         kFlags},
        {"switchport", eth2, [](uint32_t i) { lcache_update_switchport(i); },
         LCACHE_ATTR_SWITCHPORT},
        {"vlan", eth2, [](uint32_t i) { lcache_update_vlan(i); }, LCACHE_ATTR_VLAN},
    };
    init();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        lcache_if_entry_t *entry = warm(c.ifindex);
        ASSERT_NE(entry, nullptr);
        lcache_flush_if_entry(entry, 3);
        c.notify(entry->iod);
        ASSERT_EQ(cached(c.ifindex), entry);
        for (const Probe &p : kProbes) {
            sim::reset_call_counts();
            p.ask(entry->iod);
            EXPECT_EQ(calls(p.peer), (c.fresh & p.bit) ? 0u : 1u) << p.name;
        }
    }
}

} // namespace
} // namespace lctest
