// Records whose layout is right but whose values are not: each gets its
// result, counts what it counts, and leaves the tables consistent.
#include "notify_fixture.h"
#include "sim/status.h"

namespace lctest {
namespace {

using Counter = uint64_t lcache_stats_t::*;
constexpr Counter kUpdCounters[] = {&lcache_stats_t::upd_phy,       &lcache_stats_t::upd_l2,
                                    &lcache_stats_t::upd_l3,        &lcache_stats_t::upd_l3_param,
                                    &lcache_stats_t::upd_l2_bundle, &lcache_stats_t::upd_l3_bundle,
                                    &lcache_stats_t::upd_agg_fop};

const int32_t kNoInterface = static_cast<int32_t>(sim::status::no_interface);

class NotifyBadInput : public NotifyTest {
  protected:
    // Runs `call`: its result, the one upd_* counter that counts it (NULL:
    // none), and the tables afterwards.
    template <class Call> void expect_call(Call call, int32_t result, Counter counted) {
        const lcache_stats_t before = lcache.stats;
        EXPECT_EQ(call(), result);
        for (Counter counter : kUpdCounters)
            EXPECT_EQ(lcache.stats.*counter - before.*counter, counter == counted ? 1u : 0u);
        EXPECT_EQ(lcache.if_table.num_entries, 1u);
        expect_tables_consistent();
    }
};

TEST_F(NotifyBadInput, EachGetsItsResultAndCountsWhatItCounts) {
    init_tracking(1);
    warm(eth2);
    using S = lcache_stats_t;
    {
        SCOPED_TRACE("unknown ifindex: upd_l2 counts the call, upd_l3 does not");
        lcache_l2_msg_t l2 = l2_record(eth2);
        lcache_l3_msg_t l3 = l3_record(eth2, 1);
        l2.if_index = l3.if_index = kUnknownIfindex;
        const char *error = " Invalid interface index 0x7f000001\n";
        expect_call([&] { return lcache_update_l2_state(&l2); }, kNoInterface, &S::upd_l2);
        EXPECT_STREQ(lcache_print_str, error);
        lcache_print_str[0] = '\0';
        expect_call([&] { return lcache_update_l3_state(&l3); }, kNoInterface, nullptr);
        EXPECT_STREQ(lcache_print_str, error);
    }
    {
        SCOPED_TRACE("an iod the cache never saw");
        lcache_l2_msg_t l2 = l2_record(eth1);
        lcache_l3_msg_t l3 = l3_record(eth1, 1);
        lcache_state_msg_t state = state_record(eth1, 1);
        l2.iod = l3.iod = state.iod = kUnknownIod;
        expect_call([&] { return lcache_update_l2_state(&l2); }, -1, &S::upd_l2);
        expect_call([&] { return lcache_update_l3_state(&l3); }, 0, &S::upd_l3); // creation fails
        l3.state = 0;
        expect_call([&] { return lcache_update_l3_state(&l3); }, -1, &S::upd_l3);
        expect_call([&] { return lcache_update_phy_state(&state); }, 1, &S::upd_phy); // likewise
        expect_call([&] { return lcache_update_l3_param(&state, nullptr); }, 0, &S::upd_l3_param);
        expect_call([&] { return lcache_update_l2_bundle_state(&l2); }, 0, &S::upd_l2_bundle);
        expect_call([&] { return lcache_update_l3_bundle_state(&l3); }, 0, &S::upd_l3_bundle);
        expect_call([&] { return lcache_update_switchport(kUnknownIod); }, 0, nullptr);
        expect_call([&] { return lcache_update_vlan(kUnknownIod); }, 0, nullptr);
        state.state = 2;
        expect_call([&] { return lcache_update_phy_state(&state); }, 0, &S::upd_phy);
    }
    for (sim::IfIndex from : {eth3, sim::IfIndex{0}}) {
        SCOPED_TRACE("a port-channel that does not exist");
        const lcache_agg_fop_msg_t fop = fop_record(kUnknownIfindex, from, eth4);
        expect_call([&] { return lcache_update_agg_fop(&fop); }, 0, &S::upd_agg_fop);
    }
}

TEST_F(NotifyBadInput, AFirstOperationalMemberThatNamesNoInterfaceIsStoredAsItIs) {
    init();
    warm(po1);
    const lcache_agg_fop_msg_t msg = fop_record(po1, eth3, kUnknownIfindex);
    EXPECT_EQ(lcache_update_agg_fop(&msg), 1);
    sim::reset_call_counts();
    uint32_t fop = 0;
    EXPECT_EQ(lcache_agg_get_fop(po1, &fop), 0u);
    EXPECT_EQ(fop, kUnknownIfindex);
    EXPECT_EQ(calls(sim::PeerFn::agg_get_pc_info), 0u);
}

TEST_F(NotifyBadInput, L3ParamWithoutAChangesBitsetLeavesTheMtu) {
    init();
    lcache_if_entry_t *entry = warm(gre);
    const uint16_t cached_mtu = entry->mtu;
    model.set_mtu(gre, 9000);
    const lcache_state_msg_t msg = state_record(gre, 0);
    for (bool mtu_changed : {false, true}) {
        const lcache_stats_t before = lcache.stats;
        const uint32_t changes[1] = {1u << sim::kL3ParamMtu};
        EXPECT_EQ(lcache_update_l3_param(&msg, mtu_changed ? changes : nullptr), 1);
        EXPECT_EQ(entry->mtu, mtu_changed ? 9000 : cached_mtu);
        EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_P2P], before.updates[LCACHE_STAT_P2P] + 1);
        EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_MTU], before.updates[LCACHE_STAT_MTU]);
    }
    EXPECT_NE(TraceCapture::debug_text().find("MTU change for interface iod 8\n"),
              std::string::npos);
}

// Without the VLAN kept, the query passes the interface manager's answer
// through, and a routed port has no VLAN to give.
TEST_F(NotifyBadInput, AVlanUpdateTracesWhatTheVlanQueryLearnt) {
    init(kSyncAll & ~LCACHE_ATTR_VLAN);
    struct Case {
        sim::IfIndex ifindex;
        int32_t result;
        std::string trace;
    };
    const std::string succeeded =
        "vlan update for interface Ethernet1/2 (iod 3) Succeeded, vlan: 10, mode: " +
        std::to_string(sim::kVlanModeAccess) + "\n";
    for (const Case &c :
         {Case{eth2, 1, succeeded},
          Case{eth1, 0, "vlan update for interface Ethernet1/1 (iod 2) FAILED\n"}}) {
        warm(c.ifindex);
        TraceCapture::clear();
        EXPECT_EQ(lcache_update_vlan(iod(c.ifindex)), c.result);
        ASSERT_FALSE(TraceCapture::debug_print_calls.empty());
        EXPECT_EQ(TraceCapture::debug_print_calls.back().text, c.trace);
        EXPECT_EQ(calls(sim::PeerFn::netif_get_if_name), 1u);
    }
}

TEST_F(NotifyBadInput, ADisabledCacheIgnoresEveryUpdate) {
    init();
    warm(eth2);
    lcache_disable_cache();
    const lcache_stats_t before = lcache.stats;
    const lcache_state_msg_t state = state_record(eth2, 2);
    const lcache_l2_msg_t l2 = l2_record(eth2);
    lcache_l3_msg_t l3 = l3_record(eth2, 0);
    const lcache_agg_fop_msg_t fop = fop_record(po1, 0, eth3);
    EXPECT_EQ(lcache_update_phy_state(&state), 0);
    EXPECT_EQ(lcache_update_l2_state(&l2), -1);
    EXPECT_EQ(lcache_update_l3_state(&l3), -1);
    EXPECT_EQ(lcache_update_l3_param(&state, nullptr), 0);
    EXPECT_EQ(lcache_update_l2_bundle_state(&l2), 0);
    EXPECT_EQ(lcache_update_l3_bundle_state(&l3), 0);
    EXPECT_EQ(lcache_update_agg_fop(&fop), 0);
    EXPECT_EQ(lcache_update_switchport(iod(eth2)), 0);
    EXPECT_EQ(lcache_update_vlan(iod(eth2)), 0);
    for (Counter counter : kUpdCounters)
        EXPECT_EQ(lcache.stats.*counter, before.*counter);
    lcache_restore_cache();
    EXPECT_NE(cached(eth2), nullptr);
    EXPECT_EQ(cached(po1), nullptr);
}

} // namespace
} // namespace lctest
