// The VLAN cache against the simulated switch: the refresh and its fixed
// order, flushes, the queries on their cached and direct paths, and the
// failures of memory, table and peers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "lcache_fixture.h"
#include "sim/numbering.h"

namespace {

using lctest::TraceCapture;
using sim::PeerFn;

constexpr uint32_t kVlanBits = LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX;
constexpr uint32_t kVlanCache = LCACHE_ATTR_VLAN | kVlanBits;
constexpr uint32_t kFault = 0x77;
constexpr uint16_t kSlice = 7;

// VLAN 20: a secondary of VLAN 10, in bridge domain 300.
constexpr uint16_t kVlan = 20;
constexpr uint16_t kPrimary = 10;
constexpr uint16_t kBd = 300;
constexpr uint32_t kFloodIndex = sim::default_flood_index(kBd);

sim::Fault failing(uint32_t calls) { return sim::Fault{sim::FaultKind::status, kFault, calls}; }

// The VLAN-manager and index-mapper calls the simulation answered, in order,
// with the key's VLAN number or the bridge domain.
using VlanCall = std::pair<PeerFn, uint32_t>;
class RecordingBackend : public sim::ModelBackend {
  public:
    using ModelBackend::ModelBackend;
    sim::Reply<uint16_t> vlan_get_bd(sim::VlanKey key) override {
        calls.emplace_back(PeerFn::vlan_get_bd, key.vlan);
        return ModelBackend::vlan_get_bd(key);
    }
    sim::Reply<sim::BdAndPrimary> vlan_get_bd_and_primary_vlan(sim::VlanKey key) override {
        calls.emplace_back(PeerFn::vlan_get_bd_and_primary_vlan, key.vlan);
        return ModelBackend::vlan_get_bd_and_primary_vlan(key);
    }
    sim::Reply<uint32_t> dmap_lib_bd_to_di(uint16_t bd) override {
        calls.emplace_back(PeerFn::dmap_lib_bd_to_di, bd);
        return ModelBackend::dmap_lib_bd_to_di(bd);
    }
    std::vector<VlanCall> calls;
};

class VlanCacheTest : public lctest::LcacheSimTest {
  protected:
    VlanCacheTest() : recorder(model) {
        model.set_slice(kSlice);
        model.add_vlan(kPrimary);
        model.add_vlan(kVlan);
        model.set_primary_vlan(kVlan, kPrimary);
        model.set_vlan_bd(kVlan, kBd);
        sim::set_active_backend(&recorder);
    }

    static vlan_key_t key(uint32_t vlan) { return vlan_key_t{kSlice, vlan}; }
    static lcache_vlan_entry_t *cached(uint16_t vlan) {
        return static_cast<lcache_vlan_entry_t *>(ht_lookup(&lcache.vlan_table, &vlan));
    }
    static uint64_t hits(lcache_vlan_stat_row_t row) { return lcache.stats.vlan_hits[row]; }
    static uint64_t misses(lcache_vlan_stat_row_t row) { return lcache.stats.vlan_misses[row]; }

    RecordingBackend recorder;
};

TEST_F(VlanCacheTest, ANewEntryIsFilledInFixedOrderThenAnsweredFromMemory) {
    init(kVlanCache);
    uint16_t bd = 0;
    ASSERT_EQ(lcache_vlan_get_bd(key(kVlan), &bd), 0u);
    EXPECT_EQ(bd, kBd);
    const std::vector<VlanCall> refresh{{PeerFn::vlan_get_bd_and_primary_vlan, kVlan},
                                        {PeerFn::vlan_get_bd, kVlan},
                                        {PeerFn::vlan_get_bd, kVlan},
                                        {PeerFn::dmap_lib_bd_to_di, kBd}};
    EXPECT_EQ(recorder.calls, refresh);
    const lcache_vlan_entry_t *e = cached(kVlan);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->dirty, 0u);
    EXPECT_EQ(lcache.stats.vlan_allocs, 1u);
    EXPECT_THAT(lcache.stats.vlan_updates, testing::Each(1u));
    EXPECT_EQ(hits(LCACHE_VLAN_STAT_BD), 1u) << "the refresh made the bit clean";

    uint32_t pvlan = 0, di = 0;
    EXPECT_EQ(lcache_pvlan_get_pvlan(kVlan, &pvlan), 0u);
    EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), 0u);
    EXPECT_EQ(pvlan, kPrimary);
    EXPECT_EQ(di, kFloodIndex);
    EXPECT_EQ(recorder.calls.size(), refresh.size()) << "no peer asked again";
    EXPECT_EQ(hits(LCACHE_VLAN_STAT_BD), 2u) << "the flood query counts in the bd row";
    EXPECT_EQ(hits(LCACHE_VLAN_STAT_PVLAN), 1u);
    EXPECT_EQ(misses(LCACHE_VLAN_STAT_BD) + misses(LCACHE_VLAN_STAT_PVLAN), 0u);
}

TEST_F(VlanCacheTest, OneFailedCallKeepsTheWholeDirtyWordForTheNextLookup) {
    struct Case {
        uint32_t bits;
        PeerFn failing;
        const char *trace;
    };
    const Case cases[] = {
        {kVlanBits, PeerFn::vlan_get_bd_and_primary_vlan,
         "1 vlan_get_bd_and_primary_vlan returned 0x77 for vlan 20\n"},
        {kVlanBits, PeerFn::vlan_get_bd, "1 vlan_get_bd returned bad 0x77 for vlan 20\n"},
        {LCACHE_ATTR_PVLAN | LCACHE_ATTR_FINDEX, PeerFn::vlan_get_bd,
         "2 vlan_get_bd returned bad 0x77 for vlan 20\n"},
        {kVlanBits, PeerFn::dmap_lib_bd_to_di, "dmap_lib_bd_to_di returned bad 0x77\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trace);
        init(LCACHE_ATTR_VLAN | c.bits);
        TraceCapture::clear();
        sim::inject_fault(c.failing, failing(1));
        lcache_vlan_entry_t *e = lcache_vlan_create_entry_by_vlan(kVlan);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->dirty, lcache.attr.sync_mask);
        EXPECT_EQ(TraceCapture::debug_text(), c.trace);

        // Everything is fetched again, the calls that succeeded included.
        sim::reset_call_counts();
        EXPECT_EQ(lcache_vlan_create_entry_by_vlan(kVlan), e);
        EXPECT_EQ(e->dirty, 0u);
        const uint64_t pvlan = (c.bits & LCACHE_ATTR_PVLAN) ? 1 : 0;
        const uint64_t bd = (c.bits & LCACHE_ATTR_BD) ? 1 : 0;
        const uint64_t flood = (c.bits & LCACHE_ATTR_FINDEX) ? 1 : 0;
        EXPECT_EQ(calls(PeerFn::vlan_get_bd_and_primary_vlan), pvlan);
        EXPECT_EQ(calls(PeerFn::vlan_get_bd), bd + flood);
        EXPECT_EQ(calls(PeerFn::dmap_lib_bd_to_di), flood);
        EXPECT_THAT(lcache.stats.vlan_updates, testing::ElementsAre(2 * bd, 2 * flood, 2 * pvlan));
    }
}

// The refresh fails first; then the query's own fetch fails too (traced;
// the entry answers and the bit stays) or succeeds (the bit is cleaned).
TEST_F(VlanCacheTest, AQueryRetriesItsOwnAttributeWhenTheRefreshLeftItDirty) {
    for (const bool flood : {false, true}) {
        SCOPED_TRACE(flood ? "flood index" : "bridge domain");
        const uint32_t bit = flood ? LCACHE_ATTR_FINDEX : LCACHE_ATTR_BD;
        lcache_attr a = attr_with(kVlanCache);
        a.crit_mask = bit;
        init(a);
        lcache_vlan_entry_t *e = lcache_vlan_create_entry_by_vlan(kVlan);
        ASSERT_NE(e, nullptr);
        for (const uint32_t failures : {2u, 1u}) {
            lcache_flush_vlan_entry(e, 2);
            sim::inject_fault(flood ? PeerFn::dmap_lib_bd_to_di : PeerFn::vlan_get_bd,
                              failing(failures));
            uint32_t di = 0;
            uint16_t bd = 0;
            EXPECT_EQ(flood ? lcache_vlan_to_flood_di(kVlan, &di, &bd)
                            : lcache_vlan_get_bd(key(kVlan), &bd),
                      0u);
            EXPECT_EQ(bd, kBd);
            EXPECT_EQ(di, flood ? kFloodIndex : 0u);
            EXPECT_EQ(e->dirty, failures == 2 ? bit : 0u);
        }
        EXPECT_THAT(TraceCapture::debug_text(),
                    testing::HasSubstr(flood ? "lcache_vlan_to_flood_di: Status1 0x0, Status2 0x77 "
                                               "vlan 20\n"
                                             : "lcache_vlan_get_bd: bad rv 0x77 for vlan 20\n"));
        EXPECT_EQ(misses(LCACHE_VLAN_STAT_BD), 2u);
        EXPECT_EQ(hits(LCACHE_VLAN_STAT_BD), 0u);
    }
}

TEST_F(VlanCacheTest, AFlushReplacesTheDirtyWordByTheMaskOfItsOption) {
    lcache_attr a = attr_with(kVlanCache);
    a.low_mask = LCACHE_ATTR_PVLAN;
    a.med_mask = LCACHE_ATTR_BD;
    a.crit_mask = LCACHE_ATTR_MTU;
    init(a);
    const std::pair<uint32_t, uint32_t> cases[] = {{1, a.med_mask},
                                                   {2, a.crit_mask},
                                                   {0, a.low_mask},
                                                   {3, lcache.attr.sync_mask},
                                                   {7, a.low_mask}};
    for (const auto &[opt, mask] : cases) {
        EXPECT_EQ(lcache_vlan_flush_vlan(kVlan, opt), 1u);
        EXPECT_EQ(cached(kVlan)->dirty, mask) << "option " << opt;
    }

    // A dirty bd bit left out of the mask turns clean without a fetch; the
    // other bits cost a refresh that fetches nothing.
    lcache_vlan_entry_t *e = cached(kVlan);
    lcache_flush_vlan_entry(e, 1);
    lcache_flush_vlan_entry(e, 2);
    recorder.calls.clear();
    sim::reset_call_counts();
    uint16_t bd = 0;
    EXPECT_EQ(lcache_vlan_get_bd(key(kVlan), &bd), 0u);
    EXPECT_EQ(calls(PeerFn::hostctl_slice_get), 1u);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(e->dirty, 0u);

    ASSERT_NE(lcache_vlan_create_entry_by_vlan(kPrimary), nullptr);
    EXPECT_EQ(lcache_vlan_flush_all(1), 1u);
    EXPECT_EQ(cached(kVlan)->dirty, a.med_mask);
    EXPECT_EQ(cached(kPrimary)->dirty, a.med_mask);
    ht_fault_inject(HT_FAULT_ITERATOR, 1);
    EXPECT_EQ(lcache_vlan_flush_all(1), 0u);
    EXPECT_STREQ(lcache_print_str, "Couldn't init iterator\n");
}

TEST_F(VlanCacheTest, EntriesAreKeyedByTheWholeVlanNumber) {
    lcache_attr a = attr_with(kVlanCache);
    a.table_size = 4096;
    init(a);
    EXPECT_EQ(lcache_vlan_update_vlan(kVlan), 0u);
    EXPECT_EQ(lcache_vlan_remove_entry_by_vlan(kVlan), 0u);
    EXPECT_EQ(lcache.stats.vlan_allocs, 0u) << "neither creates";

    // VLANs 1 and 4097 share a bucket.
    const uint16_t low = 1, high = 4097;
    ASSERT_EQ(lcache_vlan_hash(&low, 4096), lcache_vlan_hash(&high, 4096));
    lcache_vlan_entry_t *first = lcache_vlan_create_entry_by_vlan(low);
    lcache_vlan_entry_t *second = lcache_vlan_create_entry_by_vlan(high);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(lcache_vlan_create_entry_by_vlan(low), first);
    EXPECT_EQ(lcache_vlan_create_entry_by_vlan(high), second);
    EXPECT_EQ(lcache_vlan_remove_entry_by_vlan(low), 1u);
    EXPECT_EQ(cached(low), nullptr);
    EXPECT_EQ(cached(high), second);
    EXPECT_EQ(lcache.stats.vlan_frees, 1u);

    // An update refetches everything the cache keeps.
    ASSERT_NE(lcache_vlan_create_entry_by_vlan(kVlan), nullptr);
    model.set_vlan_bd(kVlan, kBd + 1);
    EXPECT_EQ(lcache_vlan_update_vlan(kVlan), 1u);
    EXPECT_EQ(cached(kVlan)->bd, kBd + 1);
    EXPECT_EQ(cached(kVlan)->fi, sim::default_flood_index(kBd + 1));
    EXPECT_EQ(cached(kVlan)->dirty, 0u);
}

// Each query with its own bit missing from sync_mask asks the peer on every
// call and answers with the peer's status.
TEST_F(VlanCacheTest, AnAttributeNotKeptIsAskedOfThePeerEveryTime) {
    init(LCACHE_ATTR_VLAN | LCACHE_ATTR_PVLAN | LCACHE_ATTR_FINDEX);
    uint16_t bd = 0;
    EXPECT_EQ(lcache_vlan_get_bd(key(kVlan), &bd), 0u);
    sim::inject_fault(PeerFn::vlan_get_bd, failing(1));
    EXPECT_EQ(lcache_vlan_get_bd(key(kVlan), &bd), kFault);
    EXPECT_EQ(bd, kBd);
    EXPECT_EQ(misses(LCACHE_VLAN_STAT_BD), 2u);
    EXPECT_EQ(lcache.stats.vlan_allocs, 0u);

    init(LCACHE_ATTR_VLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX);
    TraceCapture::clear();
    uint32_t pvlan = 0;
    sim::inject_fault(PeerFn::vlan_get_bd_and_primary_vlan, failing(1));
    EXPECT_EQ(lcache_pvlan_get_pvlan(kVlan, &pvlan), 0u);
    EXPECT_EQ(TraceCapture::debug_text(), "2 vlan_get_bd_and_primary_vlan ret0x77 vlan 20\n");
    EXPECT_EQ(misses(LCACHE_VLAN_STAT_PVLAN), 1u);

    // The flood query counts its own miss and the bd query's hit.
    init(LCACHE_ATTR_VLAN | LCACHE_ATTR_BD | LCACHE_ATTR_PVLAN);
    uint32_t di = 0;
    EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), 0u);
    EXPECT_EQ(di, kFloodIndex);
    sim::inject_fault(PeerFn::dmap_lib_bd_to_di, failing(1));
    EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), kFault);
    EXPECT_EQ(calls(PeerFn::dmap_lib_bd_to_di), 2u);
    EXPECT_EQ(misses(LCACHE_VLAN_STAT_BD), 2u);
    EXPECT_EQ(hits(LCACHE_VLAN_STAT_BD), 2u);
}

// Bits 29-31 kept, but no VLAN table: sync_mask lacks the vlan bit, or the
// table could not be created.  No query touches a table then.
TEST_F(VlanCacheTest, WithoutTheVlanTableEveryQueryTakesItsDirectPath) {
    for (const bool init_fails : {false, true}) {
        SCOPED_TRACE(init_fails ? "creation failed" : "not wanted");
        histsvc_clear(lctest::kHistId);
        if (init_fails)
            ht_fault_inject_after(HT_FAULT_INIT, 1, 1); // after the if table
        init(init_fails ? kVlanCache : kVlanBits);
        ASSERT_EQ(lcache.vlan_table.num_buckets, 0u);
        TraceCapture::clear();
        uint16_t bd = 0;
        uint32_t pvlan = 0, di = 0;
        EXPECT_EQ(lcache_vlan_get_bd(key(kVlan), &bd), 0u);
        sim::inject_fault(PeerFn::vlan_get_bd_and_primary_vlan, failing(1));
        EXPECT_EQ(lcache_pvlan_get_pvlan(kVlan, &pvlan), 0u);
        EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), 0u);
        EXPECT_EQ(TraceCapture::debug_text(), "3vlan_get_bd_and_primary_vlan ret 0x77 vlan 20\n");
        EXPECT_EQ(di, kFloodIndex);
        EXPECT_EQ(misses(LCACHE_VLAN_STAT_BD), 3u);
        EXPECT_EQ(misses(LCACHE_VLAN_STAT_PVLAN), 1u);

        EXPECT_EQ(lcache_vlan_flush_vlan(kVlan, 3), 1u);
        EXPECT_EQ(lcache_vlan_flush_all(3), 1u);
        EXPECT_EQ(lcache_vlan_update_vlan(kVlan), 0u);
        EXPECT_EQ(lcache_vlan_remove_entry_by_vlan(kVlan), 0u);
        EXPECT_EQ(lcache.stats.vlan_allocs, 0u);
        // The only error is the failed creation.
        std::vector<std::string> errors;
        for (const lctest::HistEntry &h : lctest::history(lctest::kHistId))
            if (h.header == LCACHE_HIST_ERROR)
                errors.push_back(h.text);
        EXPECT_EQ(errors, init_fails
                              ? std::vector<std::string>{": Couldn't initialize hash table\n"}
                              : std::vector<std::string>{});
    }
}

// The VLAN manager gets the whole number; the entry is that of its low 16
// bits.  No VLAN of the model has the whole number, so the peer refuses.
TEST_F(VlanCacheTest, APrivateVlanQueryPassesTheWholeVlanNumberToTheVlanManager) {
    constexpr uint32_t kWide = 0x10000 | kVlan;
    init(LCACHE_ATTR_VLAN | LCACHE_ATTR_BD);
    uint32_t pvlan = 0;
    EXPECT_EQ(lcache_pvlan_get_pvlan(kWide, &pvlan), 0u);
    EXPECT_EQ(recorder.calls,
              (std::vector<VlanCall>{{PeerFn::vlan_get_bd_and_primary_vlan, kWide}}));

    init(kVlanCache);
    recorder.calls.clear();
    sim::inject_fault(PeerFn::vlan_get_bd_and_primary_vlan, failing(1));
    EXPECT_EQ(lcache_pvlan_get_pvlan(kWide, &pvlan), 0u);
    EXPECT_EQ(recorder.calls.back(), VlanCall(PeerFn::vlan_get_bd_and_primary_vlan, kWide));
    ASSERT_NE(cached(kVlan), nullptr);
    EXPECT_EQ(lcache.stats.vlan_allocs, 1u);
    EXPECT_NE(cached(kVlan)->dirty & LCACHE_ATTR_PVLAN, 0u);
}

TEST_F(VlanCacheTest, AnEntryThatCannotBeHadLeavesTheQueriesToThePeers) {
    init(kVlanCache);
    TraceCapture::clear();
    mtrack_fail_next(1);
    errno = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(lcache_vlan_create_entry_by_vlan(kVlan), nullptr);
    const std::string warning = testing::internal::GetCapturedStdout();
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_THAT(warning,
                testing::StartsWith("Warning! Malloc Failure in libs/lcache/lcache_vlan["));
    EXPECT_THAT(warning, testing::EndsWith("] for size " +
                                           std::to_string(sizeof(lcache_vlan_entry_t)) + "\n"));
    EXPECT_EQ(TraceCapture::debug_text(), "lcache_vlan_create_entry_by_vlan: Malloc failure\n");
    EXPECT_EQ(lcache.stats.vlan_allocs, 0u);

    ht_fault_inject(HT_FAULT_INSERT, 1);
    uint16_t bd = 0;
    EXPECT_EQ(lcache_vlan_get_bd(key(kVlan), &bd), 0u);
    EXPECT_EQ(bd, kBd);
    EXPECT_STREQ(lcache_print_str, "*** Failed to add entry\n");
    EXPECT_EQ(misses(LCACHE_VLAN_STAT_BD), 1u);
    EXPECT_EQ(lcache.stats.vlan_allocs, 1u);
    EXPECT_EQ(lcache.stats.vlan_frees, 1u);
    EXPECT_EQ(lctest::live_blocks(LCACHE_MEM_lcache_vlan_entry_t), 0u);
}

} // namespace
