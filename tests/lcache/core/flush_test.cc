// Flushing: which mask each option marks, the flushes by key and of every
// entry, the refresh by ifindex, and masks that name tables never created.
#include "core_test.h"

namespace {

using coretest::CoreTest;
using coretest::kKeys;
using coretest::text;
using coretest::Texts;
using sim::PeerFn;

constexpr uint32_t kCrit = LCACHE_ATTR_LINKUP;
constexpr uint32_t kMed = LCACHE_ATTR_MTU;
constexpr uint32_t kLow = LCACHE_ATTR_MAC;

class FlushTest : public CoreTest {
  protected:
    void init_with_masks(uint32_t sync, uint32_t low = kLow) {
        lcache_attr a = attr_with(sync);
        a.crit_mask = kCrit;
        a.med_mask = kMed;
        a.low_mask = low;
        init(a);
    }
    static std::string flush_trace(const lcache_if_entry_t *e, uint32_t option) {
        return text("Flushing cache for if-index=0x%x, iod=%d, opt=0x%x\n", e->if_index, e->iod,
                    option);
    }
};

TEST_F(FlushTest, EachOptionOrsItsMask) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    const uint32_t sync = kKeys | kCrit;
    init_with_masks(sync);
    lcache_if_entry_t *e = create(eth);
    const struct {
        uint32_t option, mask;
    } cases[] = {
        {0, kLow}, {1, kMed}, {2, kCrit}, {3, sync | LCACHE_ATTR_IF_TYPE}, {4, kLow}, {~0u, kLow},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.option);
        const uint32_t stale = LCACHE_ATTR_NAME; // a flush clears nothing
        e->dirty = stale;
        forget_reports();
        lcache_flush_if_entry(e, c.option);
        lcache_flush_if_entry(e, c.option);
        EXPECT_EQ(e->dirty, stale | c.mask);
        EXPECT_EQ(traces(), Texts(2, flush_trace(e, c.option)));
    }
    EXPECT_EQ(e->ref_count, 4);
}

TEST_F(FlushTest, AFlushByKeyCreatesAMissingEntryThenMarksIt) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    const struct {
        void (*flush)(uint32_t, uint32_t);
        uint32_t key;
        bool while_disabled; // marks a cached entry while the cache is disabled
    } cases[] = {
        {lcache_if_flush_if, eth, false},
        {lcache_if_flush_iod, iod(eth), true},
        {lcache_if_flush_pi, pi(eth), true},
        {lcache_if_flush_lif, lif(eth), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        init_with_masks(kKeys | kCrit);
        c.flush(c.key, 2);
        lcache_if_entry_t *e = cached(eth);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->dirty & kCrit, kCrit);
        EXPECT_EQ(traces().back(), flush_trace(e, 2));
        EXPECT_EQ(calls(PeerFn::netif_is_linkup), 1u); // the creation's fill

        e->dirty = 0;
        lcache_disable_cache();
        c.flush(c.key, 2);
        EXPECT_EQ(e->dirty, c.while_disabled ? kCrit : 0);
        lcache_restore_cache();
        ASSERT_EQ(lcache_if_remove_entry_by_if(eth), 1u);
        lcache_disable_cache();
        c.flush(c.key, 2); // nothing cached: nothing created
        lcache_restore_cache();
        EXPECT_EQ(cached(eth), nullptr);
        EXPECT_EQ(lcache.stats.if_allocs, 1u);
    }
}

TEST_F(FlushTest, FlushAllMarksEveryCachedEntry) {
    const sim::IfIndex ports[] = {model.add_ethernet(1, 1), model.add_ethernet(1, 2),
                                  model.add_loopback(0)};
    init_with_masks(kKeys);
    forget_reports();
    EXPECT_EQ(lcache_if_flush_all(2), 1u); // nothing cached: nothing traced
    EXPECT_TRUE(traces().empty());

    for (sim::IfIndex p : ports)
        create(p)->dirty = 0;
    forget_reports();
    EXPECT_EQ(lcache_if_flush_all(2), 1u);
    EXPECT_EQ(traces().size(), 3u);
    for (sim::IfIndex p : ports) {
        EXPECT_EQ(cached(p)->dirty, kCrit);
        EXPECT_TRUE(traced(flush_trace(cached(p), 2)));
    }

    ht_fault_inject(HT_FAULT_ITERATOR, 1);
    EXPECT_EQ(lcache_if_flush_all(1), 0u);
    EXPECT_EQ(errors(), Texts{"Couldn't init iterator\n"});
    lcache_disable_cache();
    EXPECT_EQ(lcache_if_flush_all(1), 0u);
    lcache_restore_cache();
    for (sim::IfIndex p : ports)
        EXPECT_EQ(cached(p)->dirty, kCrit);
}

TEST_F(FlushTest, UpdateIfRefreshesOnlyACachedEntry) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init_with_masks(kKeys | kCrit);
    EXPECT_EQ(lcache_if_update_if(eth), 0u);
    EXPECT_EQ(cached(eth), nullptr);
    EXPECT_EQ(sim::total_calls(), 0u);

    lcache_if_entry_t *e = create(eth);
    lcache_flush_if_entry(e, 2);
    sim::reset_call_counts();
    EXPECT_EQ(lcache_if_update_if(eth), 1u);
    EXPECT_EQ(e->dirty & kCrit, 0u);
    EXPECT_EQ(calls(PeerFn::netif_is_linkup), 1u);
    EXPECT_EQ(lcache.stats.upd_if, 1u);

    // Counted also when the refresh then fails.
    sim::inject_fault(PeerFn::if_index_get_type, {sim::FaultKind::status, 0x77, 1});
    EXPECT_EQ(lcache_if_update_if(eth), 0u);
    EXPECT_EQ(lcache.stats.upd_if, 2u);

    lcache_disable_cache();
    EXPECT_EQ(lcache_if_update_if(eth), 0u);
    lcache_restore_cache();
    EXPECT_EQ(lcache.stats.upd_if, 2u);
}

TEST_F(FlushTest, KeyBitsOfTablesNeverCreatedReachNoTableAndNoPeer) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init_with_masks(kCrit, kKeys);
    lcache_if_entry_t *e = create(eth);
    ASSERT_EQ(e->ref_count, 1);
    EXPECT_EQ(lcache_if_flush_all(0), 1u);
    EXPECT_EQ(e->dirty & kKeys, kKeys);

    sim::reset_call_counts();
    EXPECT_EQ(lcache_if_update_if(eth), 1u);
    EXPECT_EQ(calls(PeerFn::netif_get_iod_frm_ifindex), 0u);
    EXPECT_EQ(calls(PeerFn::dmap_lib_ifidx_to_di), 0u);
    EXPECT_EQ(calls(PeerFn::lifsvc_query_ifindex_to_lif), 0u);
    EXPECT_EQ(e->dirty & kKeys, kKeys);
    EXPECT_EQ(e->iod, LCACHE_NO_IOD);
    EXPECT_EQ(e->pi, LCACHE_NO_PI);
    EXPECT_EQ(e->lif, LCACHE_NO_LIF);

    // The keyed flushes find the entry through its ifindex.
    lcache_if_flush_pi(pi(eth), 2);
    lcache_if_flush_lif(lif(eth), 2);
    lcache_if_flush_iod(iod(eth), 2);
    EXPECT_EQ(lcache.stats.if_allocs, 1u);
    EXPECT_EQ(lcache_if_remove_entry_by_pi(pi(eth)), 0u);
    EXPECT_EQ(lcache_if_remove_entry_by_lif(lif(eth)), 0u);
    EXPECT_EQ(lcache_if_remove_entry_by_iod(iod(eth)), 0u);
    EXPECT_EQ(lcache_if_remove_entry_by_if(eth), 1u);
    EXPECT_EQ(lcache.stats.if_frees, 1u);
    EXPECT_TRUE(errors().empty());
}

} // namespace
