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

class NotifyDirtyBits : public NotifyTest {
  protected:
    // Marks every kept attribute of the interface stale, runs `notify`,
    // then asks each probed attribute once.
    void expect_fresh_after(sim::IfIndex ifindex, const std::function<void(uint32_t)> &notify,
                            uint32_t fresh) {
        const uint32_t i = iod(ifindex);
        lcache_if_entry_t *entry = warm(ifindex);
        ASSERT_NE(entry, nullptr);
        lcache_flush_if_entry(entry, 3);
        notify(i);
        ASSERT_EQ(cached(ifindex), entry);
        for (const Probe &p : kProbes) {
            sim::reset_call_counts();
            p.ask(i);
            EXPECT_EQ(calls(p.peer), (fresh & p.bit) ? 0u : 1u) << p.name;
        }
    }

    void SetUp() override { init(); }
};

TEST_F(NotifyDirtyBits, PhyUpLeavesEveryBitAsItWas) {
    expect_fresh_after(
        svi,
        [&](uint32_t) {
            const lcache_state_msg_t msg = state_record(svi, 1);
            lcache_update_phy_state(&msg);
        },
        0);
}

TEST_F(NotifyDirtyBits, L2StateFreshensTheFlagsItAsksFor) {
    for (sim::IfIndex ifindex : {svi, gre, mgmt}) {
        SCOPED_TRACE(model.at(ifindex).name);
        expect_fresh_after(
            ifindex,
            [&](uint32_t) {
                const lcache_l2_msg_t msg = l2_record(ifindex);
                lcache_update_l2_state(&msg);
            },
            kFlags);
    }
}

// The port's link state belongs to its phy notifications.
TEST_F(NotifyDirtyBits, L2StateOfAnEthernetPortLeavesLinkup) {
    expect_fresh_after(
        eth1,
        [&](uint32_t) {
            const lcache_l2_msg_t msg = l2_record(eth1);
            lcache_update_l2_state(&msg);
        },
        LCACHE_ATTR_PROTOUP);
}

// Their keys follow another interface: the whole entry is refreshed.
TEST_F(NotifyDirtyBits, L2StateOfSubinterfacesAndPortChannelsRefreshesTheEntry) {
    for (sim::IfIndex ifindex : {subif, po1}) {
        SCOPED_TRACE(model.at(ifindex).name);
        expect_fresh_after(
            ifindex,
            [&](uint32_t) {
                const lcache_l2_msg_t msg = l2_record(ifindex);
                lcache_update_l2_state(&msg);
            },
            kAllProbed);
    }
}

TEST_F(NotifyDirtyBits, L3StateUpAlsoRefetchesMacEncapAndEthernet) {
    for (uint8_t state : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "state " << int{state});
        const uint32_t refetched =
            state == 1 ? LCACHE_ATTR_MAC | LCACHE_ATTR_ENCAP | LCACHE_ATTR_ETHERNET : 0;
        expect_fresh_after(
            svi,
            [&](uint32_t) {
                lcache_l3_msg_t msg = l3_record(svi, state);
                lcache_update_l3_state(&msg);
            },
            kFlags | refetched);
    }
}

TEST_F(NotifyDirtyBits, L3ParamFreshensP2pOnly) {
    expect_fresh_after(
        gre,
        [&](uint32_t) {
            const lcache_state_msg_t msg = state_record(gre, 0);
            const uint32_t mtu_changed[1] = {1u << sim::kL3ParamMtu};
            lcache_update_l3_param(&msg, mtu_changed);
        },
        LCACHE_ATTR_P2P);
}

TEST_F(NotifyDirtyBits, BundleStatesFreshenTheFlagsWithoutARefresh) {
    expect_fresh_after(
        po1,
        [&](uint32_t) {
            const lcache_l2_msg_t msg = l2_record(po1);
            lcache_update_l2_bundle_state(&msg);
        },
        kFlags);
    expect_fresh_after(
        po1,
        [&](uint32_t) {
            const lcache_l3_msg_t msg = l3_record(po1, 1);
            lcache_update_l3_bundle_state(&msg);
            EXPECT_EQ(calls(sim::PeerFn::netif_is_linkup), 0u);
            EXPECT_EQ(calls(sim::PeerFn::netif_is_protoup), 0u);
        },
        kFlags);
}

TEST_F(NotifyDirtyBits, SwitchportAndVlanUpdatesFreshenTheirOwnBit) {
    expect_fresh_after(
        eth2, [](uint32_t i) { EXPECT_EQ(lcache_update_switchport(i), 1); },
        LCACHE_ATTR_SWITCHPORT);
    expect_fresh_after(
        eth2, [](uint32_t i) { EXPECT_EQ(lcache_update_vlan(i), 1); }, LCACHE_ATTR_VLAN);
}

} // namespace
} // namespace lctest
