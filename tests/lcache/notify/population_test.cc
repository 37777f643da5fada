// Which notifications create and remove entries.
#include "mtrack.h"
#include "notify_fixture.h"

namespace lctest {
namespace {

using NotifyPopulation = NotifyTest;

TEST_F(NotifyPopulation, PhyStateTwoRemovesAnyOtherStateCreates) {
    struct Case {
        bool cached;
        uint8_t state;
        int32_t result;
        bool cached_after;
        const char *second_trace; // after the "Interface ..." line; NULL: none
    };
    const Case cases[] = {
        {false, 2, 0, false, nullptr},
        {true, 2, 1, false, "Deleting lcache entry for if-iod 3 on phy-change."},
        {false, 1, 1, true, "Creating lcache entry for if-iod 3 on phy-change."},
        {false, 0, 1, true, "Creating lcache entry for if-iod 3 on phy-change."},
        {true, 7, 1, true, nullptr},
    };
    init();
    ASSERT_EQ(iod(eth2), 3u);
    model.set_link(eth2, false); // so that setting the cached flag shows
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "cached " << c.cached << ", state " << int{c.state});
        lcache_if_remove_entry_by_iod(iod(eth2));
        lcache_if_entry_t *before = c.cached ? warm(eth2) : nullptr;
        TraceCapture::clear();
        const uint64_t linkup_updates = lcache.stats.updates[LCACHE_STAT_LINKUP];
        const lcache_state_msg_t msg = state_record(eth2, c.state);
        EXPECT_EQ(lcache_update_phy_state(&msg), c.result);
        EXPECT_EQ(cached(eth2) != nullptr, c.cached_after);
        if (c.cached && c.cached_after) {
            EXPECT_TRUE(before->flags & LCACHE_FLAG_LINKUP);
            EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_LINKUP], linkup_updates);
        }
        ASSERT_GE(TraceCapture::debug_print_calls.size(), 1u);
        const std::string entry_hex =
            hex(static_cast<unsigned>(reinterpret_cast<uintptr_t>(before)));
        EXPECT_EQ(TraceCapture::debug_print_calls[0].text,
                  "Interface Ethernet1/2 (iod 3): entry 0x" + entry_hex + ", state " +
                      std::to_string(c.state) + "\n");
        if (!c.second_trace) {
            EXPECT_EQ(TraceCapture::debug_print_calls.size(), 1u);
        } else {
            ASSERT_GE(TraceCapture::debug_print_calls.size(), 2u);
            EXPECT_EQ(TraceCapture::debug_print_calls[1].text, c.second_trace);
        }
        expect_tables_consistent();
    }
}

struct L3Case {
    uint32_t l3_track;
    bool cached;
    uint8_t state;
    int32_t result;
    bool cached_after;
    std::string trace; // the trace after "L3 Protocol-change update ..."; "" for none
};

class NotifyL3Population : public NotifyTest, public testing::WithParamInterface<L3Case> {};

TEST_P(NotifyL3Population, TracksEntriesOnlyWhenAsked) {
    const L3Case &c = GetParam();
    init_tracking(c.l3_track);
    if (c.cached)
        warm(svi);
    TraceCapture::clear();
    lcache_l3_msg_t msg = l3_record(svi, c.state);
    EXPECT_EQ(lcache_update_l3_state(&msg), c.result);
    EXPECT_EQ(cached(svi) != nullptr, c.cached_after);
    ASSERT_GE(TraceCapture::debug_print_calls.size(), 1u);
    EXPECT_EQ(TraceCapture::debug_print_calls[0].text,
              "L3 Protocol-change update for interface Vlan10 (iod 9)\n");
    if (c.trace.empty()) {
        EXPECT_EQ(TraceCapture::debug_print_calls.size(), 1u);
    } else {
        ASSERT_GE(TraceCapture::debug_print_calls.size(), 2u);
        EXPECT_EQ(TraceCapture::debug_print_calls[1].text, c.trace);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotifyL3Population,
    testing::Values(
        L3Case{0, false, 1, -1, false,
               "Not creating cache entry for if-iod 9 on l3-change, 0, state: 1"},
        L3Case{0, true, 3, 0, true, ""},
        L3Case{1, false, 1, 0, true, "Creating lcache entry for if-iod 9 on l3-change."},
        L3Case{1, false, 0, -1, false,
               "Not creating cache entry for if-iod 9 on l3-change, 1, state: 0"},
        L3Case{1, true, 3, 0, false, "Removing lcache entry for if-iod 9 on l3-change."},
        L3Case{1, true, 1, 0, true, ""}));

TEST_F(NotifyPopulation, FirstOperationalMemberFollowsThePortChannel) {
    struct Case {
        bool cached;
        sim::IfIndex from, to;
        int32_t result;
        bool cached_after;
        std::string trace; // the one after "AGG First-Op-member ..."; "" when not checked
    };
    init();
    const std::string pc = "port-channel1 (if 0x" + hex(po1) + ")";
    const std::string creating = "Creating lcache entry for if-index 0x" + hex(po1) + " on agg-fop";
    const Case cases[] = {
        {false, 0, eth3, 1, true, creating},
        {false, 0, 0, 1, true, creating},
        {false, eth3, eth4, 0, false,
         "AGG lcache entry not found for interface " + pc + " during change from 0x" + hex(eth3) +
             " to 0x" + hex(eth4) + "\n"},
        {true, eth3, eth4, 1, true, ""},
        {true, eth3, 0, 1, false,
         "AGG lcache entry removed for interface " + pc + " during change from 0x" + hex(eth3) +
             " to 0x0\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "cached " << c.cached << ", 0x" << hex(c.from) << " -> 0x" << hex(c.to));
        lcache_if_remove_entry_by_if(po1);
        if (c.cached)
            warm(po1);
        const uint64_t updates = lcache.stats.updates[LCACHE_STAT_AGG_IF];
        TraceCapture::clear();
        const lcache_agg_fop_msg_t msg = fop_record(po1, c.from, c.to);
        EXPECT_EQ(lcache_update_agg_fop(&msg), c.result);
        if (!c.trace.empty()) {
            ASSERT_GE(TraceCapture::debug_print_calls.size(), 2u);
            EXPECT_EQ(TraceCapture::debug_print_calls[1].text, c.trace);
        }
        lcache_if_entry_t *entry = cached(po1);
        ASSERT_EQ(entry != nullptr, c.cached_after);
        if (entry) {
            EXPECT_EQ(entry->agg_if, c.to);
            EXPECT_FALSE(entry->dirty & LCACHE_ATTR_AGG_IF);
            // A new entry's own fill counts one more.
            EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_AGG_IF], updates + (c.cached ? 1 : 2));
        }
        expect_tables_consistent();
    }
}

TEST_F(NotifyPopulation, FailedCreationLeavesNothingBehind) {
    init_tracking(1);
    const lcache_agg_fop_msg_t fop = fop_record(po1, 0, eth3);
    mtrack_fail_next(1);
    EXPECT_EQ(lcache_update_agg_fop(&fop), 0);
    const lcache_state_msg_t phy = state_record(eth1, 1);
    mtrack_fail_next(1);
    EXPECT_EQ(lcache_update_phy_state(&phy), 1);
    lcache_l3_msg_t l3 = l3_record(svi, 1);
    mtrack_fail_next(1);
    EXPECT_EQ(lcache_update_l3_state(&l3), 0);
    EXPECT_EQ(lcache.if_table.num_entries, 0u);
}

} // namespace
} // namespace lctest
