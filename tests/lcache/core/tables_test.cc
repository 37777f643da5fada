// An entry's membership in the four index tables, its reference count, and
// the teardown and removals that take it out of them.
#include <cstring>

#include "core_test.h"

namespace {

using coretest::CoreTest;
using coretest::kKeys;
using coretest::text;
using coretest::Texts;

class TablesTest : public CoreTest {
  protected:
    static uint64_t live() { return lctest::live_blocks(LCACHE_MEM_lcache_if_entry_t); }
};

TEST_F(TablesTest, EachDeleteDropsOneReferenceAndOnlyTheIfTableReleases) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init(kKeys);
    lcache_if_entry_t *e = create(eth);
    ASSERT_EQ(e->ref_count, 4);
    EXPECT_EQ(lcache_pi_delete_entry(e), 1u);
    EXPECT_EQ(lcache_iod_delete_entry(e), 1u);
    EXPECT_EQ(e->pi, LCACHE_NO_PI);
    EXPECT_EQ(e->iod, LCACHE_NO_IOD);
    EXPECT_EQ(held(lcache.pi_table, pi(eth)), nullptr);
    EXPECT_EQ(held(lcache.iod_table, iod(eth)), nullptr);

    // Still in the lif table: the if table lets go of it but keeps it alive.
    EXPECT_EQ(lcache_if_delete_entry(e), 1u);
    EXPECT_EQ(errors(), Texts{text("Failed to delete entry for if 0x%x: ref-cnt !0?\n", eth)});
    EXPECT_EQ(e->ref_count, 1);
    EXPECT_EQ(cached(eth), nullptr);
    EXPECT_EQ(lcache_lif_delete_entry(e), 1u);
    EXPECT_EQ(e->ref_count, 0);
    EXPECT_EQ(live(), 1u); // a keyed delete never releases

    ASSERT_EQ(lcache_if_insert_entry(e), 1u);
    EXPECT_EQ(lcache_if_delete_entry(e), 1u);
    EXPECT_EQ(live(), 0u);
    const lcache_stats_t &s = lcache.stats;
    EXPECT_EQ(s.if_removes, 2u);
    EXPECT_EQ(s.if_frees, 1u);
    EXPECT_EQ(s.iod_removes + s.pi_removes + s.lif_removes, 3u);
}

TEST_F(TablesTest, DeletingAnEntryNoTableHoldsReportsAPossibleLeak) {
    init(kKeys);
    const uint32_t ifx = 0x1a001005, iod = 7, pi = 40, lif = 5000;
    const struct {
        uint32_t (*remove)(lcache_if_entry_t *);
        uint64_t lcache_stats_t::*fails;
        std::string report;
    } cases[] = {
        {lcache_if_delete_entry, &lcache_stats_t::if_remove_fails,
         text("Failed to delete entry for if 0x%x: possible leak?\n", ifx)},
        {lcache_iod_delete_entry, &lcache_stats_t::iod_remove_fails,
         text("Failed to del iod entry for if 0x%x, iod %d;possible leak?\n", ifx, iod)},
        {lcache_pi_delete_entry, &lcache_stats_t::pi_remove_fails,
         text("Failed to del pi entry for if 0x%x, iod %d, pi 0x%x; possible leak?\n", ifx, iod,
              pi)},
        {lcache_lif_delete_entry, &lcache_stats_t::lif_remove_fails,
         text("Failed to del lif entry for if 0x%x, iod %d, lif 0x%x; possible leak?\n", ifx, iod,
              lif)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        forget_reports();
        lcache_if_entry_t stray{};
        stray.if_index = ifx;
        stray.iod = iod;
        stray.pi = pi;
        stray.lif = lif;
        stray.ref_count = 1;
        const lcache_if_entry_t before = stray;
        EXPECT_EQ(c.remove(&stray), 0u);
        EXPECT_EQ(errors(), Texts{c.report});
        EXPECT_EQ(lcache.stats.*c.fails, 1u);
        EXPECT_EQ(memcmp(&before, &stray, sizeof stray), 0);
    }
}

TEST_F(TablesTest, NullEntriesAreIgnoredEverywhere) {
    init(kKeys);
    uint32_t (*const ops[])(lcache_if_entry_t *) = {
        lcache_if_insert_entry,  lcache_iod_insert_entry, lcache_pi_insert_entry,
        lcache_lif_insert_entry, lcache_if_delete_entry,  lcache_iod_delete_entry,
        lcache_pi_delete_entry,  lcache_lif_delete_entry,
    };
    const lcache_stats_t before = lcache.stats;
    for (auto op : ops)
        EXPECT_EQ(op(nullptr), 0u);
    EXPECT_EQ(lcache_if_update_entry(nullptr, 0), 0);
    lcache_flush_if_entry(nullptr, 3);
    EXPECT_EQ(memcmp(&before, &lcache.stats, sizeof before), 0);
    EXPECT_TRUE(errors().empty());
    EXPECT_TRUE(traces().empty());
}

TEST_F(TablesTest, KeysSharingABucketAreToldApart) {
    // Every key of b is a's plus the bucket count: the same chain everywhere.
    constexpr uint32_t kBuckets = 64;
    const sim::IfIndex a = model.add_ethernet(1, 1);
    const sim::IfIndex b = model.add_ethernet(1, 1 + kBuckets);
    model.set_iod(b, iod(a) + kBuckets);
    model.set_pi(b, pi(a) + kBuckets);
    model.set_lif(b, lif(a) + kBuckets);
    lcache_attr attr = attr_with(kKeys);
    attr.table_size = kBuckets;
    init(attr);
    const uint32_t ka = iod(a), kb = iod(b);
    ASSERT_EQ(lcache_iod_hash(&ka, kBuckets), lcache_iod_hash(&kb, kBuckets));

    lcache_if_entry_t *ea = create(a);
    lcache_if_entry_t *eb = create(b);
    ASSERT_NE(ea, eb);
    EXPECT_EQ(lcache_if_create_entry_by_iod(iod(a)), ea);
    EXPECT_EQ(lcache_if_create_entry_by_pi(pi(a)), ea);
    EXPECT_EQ(lcache_if_create_entry_by_lif(lif(a)), ea);
    ASSERT_EQ(lcache_if_remove_entry_by_if(a), 1u);
    EXPECT_EQ(cached(b), eb);
    EXPECT_EQ(lcache_if_create_entry_by_iod(iod(b)), eb);
    EXPECT_EQ(lcache_if_create_entry_by_pi(pi(b)), eb);
    EXPECT_EQ(lcache_if_create_entry_by_lif(lif(b)), eb);
    EXPECT_EQ(lcache.stats.if_allocs, 2u);
}

TEST_F(TablesTest, TeardownLeavesLifPiIodThenIfAndReleases) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init(kKeys);
    lcache_if_entry_t *e = create(eth);
    forget_reports();
    lcache_if_destroy_entry(e);
    EXPECT_EQ(traces(), Texts{text("If-destroy for if-index 0x%x, iod %d, pi 0x%x, lif 0x%x\n", eth,
                                   iod(eth), pi(eth), lif(eth))});
    const lcache_stats_t &s = lcache.stats;
    EXPECT_EQ(s.lif_removes + s.pi_removes + s.iod_removes + s.if_removes, 4u);
    EXPECT_EQ(s.if_frees, 1u);
    EXPECT_EQ(s.if_destroys, 1u);
    EXPECT_EQ(cached(eth), nullptr);

    // The order shows in which delete a failing removal lands.
    const std::string leaks[] = {
        text("Failed to del lif entry for if 0x%x, iod %d, lif 0x%x; possible leak?\n", eth,
             iod(eth), lif(eth)),
        text("Failed to del pi entry for if 0x%x, iod %d, pi 0x%x; possible leak?\n", eth, iod(eth),
             pi(eth)),
        text("Failed to del iod entry for if 0x%x, iod %d;possible leak?\n", eth, iod(eth)),
        text("Failed to delete entry for if 0x%x: possible leak?\n", eth),
    };
    for (uint32_t failing = 0; failing < 4; ++failing) {
        SCOPED_TRACE(failing);
        lcache_if_entry_t *victim = create(eth);
        forget_reports();
        ht_fault_inject_after(HT_FAULT_REMOVE, failing, 1);
        lcache_if_destroy_entry(victim);
        const Texts reported = errors();
        ASSERT_FALSE(reported.empty());
        EXPECT_EQ(reported[0], leaks[failing]);
        if (failing < 3) { // a table still holds it: the if table let go of it
            EXPECT_EQ(reported.size(), 2u);
            ASSERT_EQ(lcache_if_insert_entry(victim), 1u);
        }
        lcache_if_destroy_entry(victim);
        EXPECT_EQ(live(), 0u);
    }
}

TEST_F(TablesTest, RemovalByEachKey) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    const struct {
        uint32_t (*remove)(uint32_t);
        uint32_t key;
        Texts miss_traces; // only the removal by iod says it found nothing
    } cases[] = {
        {lcache_if_remove_entry_by_if, eth, {}},
        {lcache_if_remove_entry_by_iod,
         iod(eth),
         {text("Lcache remove failed for Interface with iod %d\n", iod(eth))}},
        {lcache_if_remove_entry_by_pi, pi(eth), {}},
        {lcache_if_remove_entry_by_lif, lif(eth), {}},
    };
    init(kKeys);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_NE(create(eth), nullptr);
        EXPECT_EQ(c.remove(c.key), 1u);
        EXPECT_EQ(cached(eth), nullptr);
        forget_reports();
        EXPECT_EQ(c.remove(c.key), 0u);
        EXPECT_EQ(traces(), c.miss_traces);
    }
    EXPECT_EQ(lcache.stats.if_destroys, 4u);
    EXPECT_EQ(live(), 0u);
}

TEST_F(TablesTest, WhileDisabledNothingLeavesATable) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init(kKeys);
    lcache_if_entry_t *e = create(eth);
    const lcache_stats_t before = lcache.stats;
    lcache_disable_cache();
    forget_reports();
    // The keyed deletes see their sync_mask bit clear.
    EXPECT_EQ(lcache_iod_delete_entry(e), 0u);
    EXPECT_EQ(lcache_pi_delete_entry(e), 0u);
    EXPECT_EQ(lcache_lif_delete_entry(e), 0u);
    // The removals by if, pi and lif find the entry; the teardown declines.
    EXPECT_EQ(lcache_if_remove_entry_by_if(eth), 1u);
    EXPECT_EQ(lcache_if_remove_entry_by_pi(pi(eth)), 1u);
    EXPECT_EQ(lcache_if_remove_entry_by_lif(lif(eth)), 1u);
    EXPECT_EQ(lcache_if_remove_entry_by_iod(iod(eth)), 0u);
    lcache_if_destroy_entry(e);
    lcache_restore_cache();
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(memcmp(&before, &lcache.stats, sizeof before), 0);
    EXPECT_EQ(e->ref_count, 4);
    EXPECT_EQ(cached(eth), e);
    EXPECT_EQ(held(lcache.iod_table, iod(eth)), e);
    EXPECT_EQ(held(lcache.pi_table, pi(eth)), e);
    EXPECT_EQ(held(lcache.lif_table, lif(eth)), e);
}

} // namespace
