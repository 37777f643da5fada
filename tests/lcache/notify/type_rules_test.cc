// The rules that depend on the interface type (5, 9, 22, 24) and the
// values the records carry.
#include "notify_fixture.h"

namespace lctest {
namespace {

class NotifyTypeRules : public NotifyTest {
  protected:
    void SetUp() override { init(); }
};

TEST_F(NotifyTypeRules, L3StateKeepsTheRecordsMtuExceptForGreTunnels) {
    for (sim::IfIndex ifindex : {gre, svi, eth1}) {
        SCOPED_TRACE(model.at(ifindex).name);
        lcache_if_entry_t *entry = warm(ifindex);
        const uint16_t cached_mtu = entry->mtu;
        lcache_l3_msg_t msg = l3_record(ifindex, 1);
        msg.mtu = 0x12345; // stored as its low 16 bits
        EXPECT_EQ(lcache_update_l3_state(&msg), 0);
        EXPECT_EQ(entry->mtu, ifindex == gre ? cached_mtu : 0x2345);
    }
}

TEST_F(NotifyTypeRules, L3StateUpRefetchesTheMacOfAManagementPort) {
    for (sim::IfIndex ifindex : {mgmt, svi}) {
        SCOPED_TRACE(model.at(ifindex).name);
        lcache_if_entry_t *entry = warm(ifindex);
        lcache_l3_msg_t msg = l3_record(ifindex, 1);
        EXPECT_EQ(lcache_update_l3_state(&msg), 0);
        // Once for the MAC the update stores, once more for the refetch.
        EXPECT_EQ(calls(sim::PeerFn::netif_get_if_src_mac_addr), ifindex == mgmt ? 2u : 1u);
        EXPECT_FALSE(entry->dirty & LCACHE_ATTR_MAC);
    }
}

// A sub-interface's LIF and a port-channel's port index follow another
// interface; the L2 and L3 updates re-map them through a refresh.
TEST_F(NotifyTypeRules, SubinterfacesAndPortChannelsAreReMapped) {
    lcache_if_entry_t *sub = warm(subif);
    lcache_if_entry_t *pc = warm(po1);
    const uint32_t old_lif = lif(subif);
    ASSERT_EQ(sub->lif, old_lif);
    ASSERT_EQ(pc->pi, pi(eth3));
    model.set_lif(subif, 0x7000);
    model.set_member_operational(po1, eth3, false);

    const lcache_l2_msg_t l2 = l2_record(subif);
    EXPECT_EQ(lcache_update_l2_state(&l2), 0);
    lcache_l3_msg_t l3 = l3_record(po1, 1);
    EXPECT_EQ(lcache_update_l3_state(&l3), 0);

    uint32_t key = 0x7000;
    EXPECT_EQ(ht_lookup(&lcache.lif_table, &key), sub);
    key = old_lif;
    EXPECT_EQ(ht_lookup(&lcache.lif_table, &key), nullptr);
    EXPECT_EQ(pc->pi, pi(eth4));
    key = pi(eth4);
    EXPECT_EQ(ht_lookup(&lcache.pi_table, &key), pc);
}

TEST_F(NotifyTypeRules, L3BundleStateIsTheWholeAnswer) {
    struct Case {
        uint8_t state;
        bool linkup, protoup;
    };
    lcache_if_entry_t *entry = warm(po1);
    for (const Case &c : {Case{1, true, true}, Case{16, true, false}, Case{2, false, false},
                          Case{0, false, false}}) {
        SCOPED_TRACE(testing::Message() << "state " << int{c.state});
        lcache_l3_msg_t msg = l3_record(po1, c.state);
        msg.mtu = 9216;
        EXPECT_EQ(lcache_update_l3_bundle_state(&msg), 1);
        EXPECT_EQ(bool(entry->flags & LCACHE_FLAG_LINKUP), c.linkup);
        EXPECT_EQ(bool(entry->flags & LCACHE_FLAG_PROTOUP), c.protoup);
        EXPECT_EQ(entry->mtu, 9216);
    }
    EXPECT_EQ(calls(sim::PeerFn::netif_is_linkup) + calls(sim::PeerFn::netif_is_protoup), 0u);
}

TEST_F(NotifyTypeRules, L2RecordsVlanFollowsTheModeFlagsAndState) {
    struct Case {
        uint8_t state;
        uint8_t mode_flags;
        uint32_t vlan_a, vlan_b;
        uint16_t cached;
    };
    lcache_if_entry_t *entry = warm(eth2);
    ASSERT_EQ(entry->vlan, 10);
    for (const Case &c :
         {Case{1, LCACHE_L2_VLAN_A, 20, 30, 20}, Case{1, 0, 20, 30, 30},
          Case{1, 0x0F, 20, 70000, 70000 & 0xFFFF}, Case{0, 0x10, 40, 40, 70000 & 0xFFFF}}) {
        lcache_l2_msg_t msg = l2_record(eth2);
        msg.state = c.state;
        msg.mode_flags = c.mode_flags;
        msg.vlan_a = c.vlan_a;
        msg.vlan_b = c.vlan_b;
        msg.mtu = 0x10000 + 9000;
        EXPECT_EQ(lcache_update_l2_state(&msg), 0);
        EXPECT_EQ(entry->vlan, c.cached);
        EXPECT_EQ(entry->mtu, 9000);
    }
}

} // namespace
} // namespace lctest
