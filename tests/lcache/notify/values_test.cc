// SPDX-License-Identifier: MIT
// What a notification stores, what it leaves fresh, and the rules that
// depend on the interface type (5, 9, 22, 24).
#include <tuple>

#include "notify_fixture.h"

namespace lctest {
namespace {

class NotifyValues : public NotifyTest {
  protected:
    void SetUp() override { init(); }
};

// Each case marks every kept attribute stale, sends its notification, then
// asks each attribute once: a fresh one needs no interface manager.
TEST_F(NotifyValues, EachNotificationFreshensWhatItSays) {
    constexpr uint32_t kFlags = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;
    const std::tuple<sim::IfIndex, sim::Notification, uint32_t> cases[] = {
        {svi, sim::PhyState{svi, iod(svi), 1}, 0},
        {svi, l2(svi), kFlags},
        {gre, l2(gre), kFlags},
        {mgmt, l2(mgmt), kFlags},
        // The port's link state belongs to its phy notifications.
        {eth1, l2(eth1), LCACHE_ATTR_PROTOUP},
        // Their keys follow another interface: the whole entry is refreshed.
        {subif, l2(subif), kSyncAll},
        {po1, l2(po1), kSyncAll},
        {svi, l3(svi, 0), kFlags},
        {svi, l3(svi, 1), kFlags | LCACHE_ATTR_MAC | LCACHE_ATTR_ENCAP | LCACHE_ATTR_ETHERNET},
        {gre, sim::L3Param{gre, iod(gre), true}, LCACHE_ATTR_P2P},
        {po1, l2(po1, true), kFlags},
        {eth1, l2(eth1, true), kFlags},
        {po1, l3(po1, 1), kFlags},
        {eth2, sim::SwitchportChange{iod(eth2)}, LCACHE_ATTR_SWITCHPORT},
        {eth2, sim::VlanChange{iod(eth2)}, LCACHE_ATTR_VLAN},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &[ifindex, sent, fresh] = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i);
        lcache_if_entry_t *entry = warm(ifindex);
        lcache_flush_if_entry(entry, 3);
        sim::deliver(sent);
        ASSERT_EQ(cached(ifindex), entry);
        for (const Attr &a : kAttrs) {
            sim::reset_call_counts();
            a.ask(entry->iod);
            EXPECT_EQ(calls(a.peer), (fresh & a.bit) ? 0u : 1u) << sim::peer_fn_name(a.peer);
        }
    }
}

TEST_F(NotifyValues, L3StateStoresTheMtuExceptAGreTunnelsAndRefetchesAManagementMac) {
    for (sim::IfIndex ifindex : {gre, svi, eth1, mgmt}) {
        SCOPED_TRACE(model.at(ifindex).name);
        lcache_if_entry_t *entry = warm(ifindex);
        const uint16_t cached_mtu = entry->mtu;
        sim::L3State n = l3(ifindex, 1);
        n.mtu = 0x12345; // stored as its low 16 bits
        EXPECT_EQ(sim::deliver(n), 0);
        EXPECT_EQ(entry->mtu, ifindex == gre ? cached_mtu : 0x2345);
        // Once for the MAC the update stores, once more for the refetch.
        EXPECT_EQ(calls(PeerFn::netif_get_if_src_mac_addr), ifindex == mgmt ? 2u : 1u);
        EXPECT_FALSE(entry->dirty & LCACHE_ATTR_MAC);
    }
}

// A sub-interface's LIF and a port-channel's port index follow another
// interface; the L2 and L3 updates re-map them through a refresh.
TEST_F(NotifyValues, SubinterfacesAndPortChannelsAreReMapped) {
    lcache_if_entry_t *entries[] = {warm(subif), warm(po1)};
    uint32_t keys[] = {lif(subif), pi(eth3)};
    ht_table_t *tables[] = {&lcache.lif_table, &lcache.pi_table};
    model.set_lif(subif, 0x7000);
    model.set_member_operational(po1, eth3, false);
    sim::L3State up = l3(po1, 1);
    up.bundle = false;
    EXPECT_EQ(sim::deliver(l2(subif)), 0);
    EXPECT_EQ(sim::deliver(up), 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(ht_lookup(tables[i], &keys[i]), nullptr);
        keys[i] = i ? pi(eth4) : 0x7000;
        EXPECT_EQ(ht_lookup(tables[i], &keys[i]), entries[i]);
    }
}

TEST_F(NotifyValues, L3BundleStateIsTheWholeAnswer) {
    lcache_if_entry_t *entry = warm(po1);
    constexpr int kLink = LCACHE_FLAG_LINKUP, kBoth = kLink | LCACHE_FLAG_PROTOUP;
    for (const auto &[state, flags] : {std::pair{1, kBoth}, {16, kLink}, {2, 0}, {0, 0}}) {
        sim::L3State n = l3(po1, static_cast<uint8_t>(state));
        n.mtu = 9216;
        EXPECT_EQ(sim::deliver(n), 1);
        EXPECT_EQ(std::pair(entry->flags & kBoth, int{entry->mtu}), std::pair(flags, 9216))
            << state;
    }
    EXPECT_EQ(calls(PeerFn::netif_is_linkup) + calls(PeerFn::netif_is_protoup), 0u);
}

// VLAN A when its mode flag says so, else VLAN B; a state-0 record keeps it.
TEST_F(NotifyValues, L2RecordsVlanFollowsTheModeFlagsAndState) {
    lcache_if_entry_t *entry = warm(eth2);
    ASSERT_EQ(entry->vlan, 10);
    for (const auto &[state, flags, vlan_a, vlan_b, kept] :
         {std::tuple{1, LCACHE_L2_VLAN_A, 20u, 30u, 20},
          {1, 0, 20, 30, 30},
          {1, 0x0F, 20, 70000, 70000 & 0xFFFF},
          {0, 0x10, 40, 40, 70000 & 0xFFFF}}) {
        lcache_l2_msg_t msg = sim::to_record(l2(eth2));
        msg.state = static_cast<uint8_t>(state);
        msg.mode_flags = static_cast<uint8_t>(flags);
        msg.vlan_a = vlan_a;
        msg.vlan_b = vlan_b;
        msg.mtu = 0x10000 + 9000;
        EXPECT_EQ(lcache_update_l2_state(&msg), 0);
        EXPECT_EQ(entry->vlan, kept);
        EXPECT_EQ(entry->mtu, 9000);
    }
}

} // namespace
} // namespace lctest
