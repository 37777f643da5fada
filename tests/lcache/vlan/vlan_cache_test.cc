// SPDX-License-Identifier: MIT
// The VLAN cache against the simulated switch: the refresh, flushes, the
// queries on their cached and direct paths, and the failures of memory,
// table and peers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "lcache_fixture.h"
#include "sim/numbering.h"

namespace {

using lctest::TraceCapture;
using sim::PeerFn;
using Counts = std::vector<uint64_t>;

constexpr uint32_t kVlanBits = LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX;
constexpr uint32_t kVlanCache = LCACHE_ATTR_VLAN | kVlanBits;
constexpr uint32_t kFault = 0x77;
constexpr uint16_t kSlice = 7;
// VLAN 20: a secondary of VLAN 10, in bridge domain 300.
constexpr uint16_t kVlan = 20, kPrimary = 10, kBd = 300;
constexpr uint32_t kFloodIndex = sim::default_flood_index(kBd);

class VlanCacheTest : public lctest::LcacheSimTest {
  protected:
    VlanCacheTest() {
        model.set_slice(kSlice);
        model.add_vlan(kPrimary);
        model.add_vlan(kVlan);
        model.set_primary_vlan(kVlan, kPrimary);
        model.set_vlan_bd(kVlan, kBd);
    }

    static void fail(PeerFn fn, uint32_t times = 1) {
        sim::inject_fault(fn, sim::Fault{sim::FaultKind::status, kFault, times});
    }
    static lcache_vlan_entry_t *cached(uint16_t vlan) {
        return static_cast<lcache_vlan_entry_t *>(ht_lookup(&lcache.vlan_table, &vlan));
    }
    // The hits and misses of a statistics row.
    static Counts row(lcache_vlan_stat_row_t r) {
        return {lcache.stats.vlan_hits[r], lcache.stats.vlan_misses[r]};
    }
    const vlan_key_t key{kSlice, kVlan};
    uint16_t bd = 0;
    uint32_t pvlan = 0, di = 0;
};

// A failed call leaves the whole dirty word; the next lookup fetches
// everything again, the calls that succeeded included.  With every call
// failing, the refresh still makes each in its fixed order: pvlan, bd,
// flood index.
TEST_F(VlanCacheTest, AFailedCallKeepsTheWholeDirtyWordForTheNextLookup) {
    using P = PeerFn;
    using Fails = std::vector<PeerFn>;
    const std::tuple<uint32_t, Fails, const char *> cases[] = {
        {kVlanBits, Fails{P::vlan_get_bd_and_primary_vlan},
         "1 vlan_get_bd_and_primary_vlan returned 0x77 for vlan 20\n"},
        {kVlanBits, Fails{P::vlan_get_bd}, "1 vlan_get_bd returned bad 0x77 for vlan 20\n"},
        {LCACHE_ATTR_PVLAN | LCACHE_ATTR_FINDEX, Fails{P::vlan_get_bd},
         "2 vlan_get_bd returned bad 0x77 for vlan 20\n"},
        {kVlanBits, Fails{P::dmap_lib_bd_to_di}, "dmap_lib_bd_to_di returned bad 0x77\n"},
        {kVlanBits,
         Fails{P::vlan_get_bd_and_primary_vlan, P::vlan_get_bd, P::vlan_get_bd,
               P::dmap_lib_bd_to_di},
         "1 vlan_get_bd_and_primary_vlan returned 0x77 for vlan 20\n"
         "1 vlan_get_bd returned bad 0x77 for vlan 20\n"
         "2 vlan_get_bd returned bad 0x77 for vlan 20\n"
         "dmap_lib_bd_to_di returned bad 0x77\n"},
    };
    for (const auto &[bits, failing, trace] : cases) {
        SCOPED_TRACE(trace);
        init(LCACHE_ATTR_VLAN | bits);
        TraceCapture::clear();
        for (PeerFn fn : failing) // as often as it is listed
            fail(fn, static_cast<uint32_t>(std::ranges::count(failing, fn)));
        lcache_vlan_entry_t *e = lcache_vlan_create_entry_by_vlan(kVlan);
        EXPECT_EQ(e->dirty, lcache.attr.sync_mask);
        EXPECT_EQ(TraceCapture::debug_text(), trace);
        sim::reset_call_counts();
        EXPECT_EQ(lcache_vlan_create_entry_by_vlan(kVlan), e);
        EXPECT_EQ(e->dirty, 0u);
        const uint64_t p = (bits & LCACHE_ATTR_PVLAN) ? 1 : 0, b = (bits & LCACHE_ATTR_BD) ? 1 : 0,
                       f = (bits & LCACHE_ATTR_FINDEX) ? 1 : 0;
        EXPECT_EQ((Counts{calls(PeerFn::vlan_get_bd_and_primary_vlan), calls(PeerFn::vlan_get_bd),
                          calls(PeerFn::dmap_lib_bd_to_di)}),
                  (Counts{p, b + f, f}));
        EXPECT_THAT(lcache.stats.vlan_updates, testing::ElementsAre(2 * b, 2 * f, 2 * p));
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
        for (const uint32_t failures : {2u, 1u}) {
            lcache_flush_vlan_entry(e, 2);
            fail(flood ? PeerFn::dmap_lib_bd_to_di : PeerFn::vlan_get_bd, failures);
            di = 0;
            EXPECT_EQ(flood ? lcache_vlan_to_flood_di(kVlan, &di, &bd)
                            : lcache_vlan_get_bd(key, &bd),
                      0u);
            EXPECT_EQ(std::pair(bd, di), std::pair(kBd, flood ? kFloodIndex : 0u));
            EXPECT_EQ(e->dirty, failures == 2 ? bit : 0u);
        }
        EXPECT_THAT(TraceCapture::debug_text(),
                    testing::HasSubstr(flood ? "lcache_vlan_to_flood_di: Status1 0x0, Status2 0x77 "
                                               "vlan 20\n"
                                             : "lcache_vlan_get_bd: bad rv 0x77 for vlan 20\n"));
        EXPECT_EQ(row(LCACHE_VLAN_STAT_BD), (Counts{0, 2}));
    }
}

// A flush replaces the dirty word by the mask of its option.  VLANs 1 and
// 4097 share a bucket of a 4096-bucket table but are entries apart.
TEST_F(VlanCacheTest, AFlushReplacesTheDirtyWordOfAnEntryOrOfEach) {
    lcache_attr a = attr_with(kVlanCache);
    a.low_mask = LCACHE_ATTR_PVLAN;
    a.med_mask = LCACHE_ATTR_BD;
    a.crit_mask = LCACHE_ATTR_MTU;
    a.table_size = 4096;
    init(a);
    const uint32_t options[] = {1, 2, 0, 3, 7};
    const uint32_t masks[] = {a.med_mask, a.crit_mask, a.low_mask, lcache.attr.sync_mask,
                              a.low_mask};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lcache_vlan_flush_vlan(kVlan, options[i]), 1u);
        EXPECT_EQ(cached(kVlan)->dirty, masks[i]) << "option " << options[i];
    }
    const uint16_t low = 1, high = 4097;
    ASSERT_EQ(lcache_vlan_hash(&low, 4096), lcache_vlan_hash(&high, 4096));
    lcache_vlan_entry_t *entries[] = {cached(kVlan), lcache_vlan_create_entry_by_vlan(low),
                                      lcache_vlan_create_entry_by_vlan(high)};
    EXPECT_NE(entries[1], entries[2]);
    EXPECT_EQ(lcache_vlan_flush_all(1), 1u);
    for (lcache_vlan_entry_t *e : entries)
        EXPECT_EQ(e->dirty, a.med_mask);
    EXPECT_EQ(lcache_vlan_remove_entry_by_vlan(low), 1u);
    EXPECT_EQ(cached(low), nullptr);
    EXPECT_EQ(cached(high), entries[2]);
    ht_fault_inject(HT_FAULT_ITERATOR, 1);
    EXPECT_EQ(lcache_vlan_flush_all(1), 0u);
    EXPECT_STREQ(lcache_print_str, "Couldn't init iterator\n");
}

// Without the pvlan bit kept, the VLAN manager gets the whole VLAN number
// (which no VLAN has) on every query.
TEST_F(VlanCacheTest, APrivateVlanQueryNotKeptPassesTheWholeVlanNumber) {
    init(kVlanCache & ~LCACHE_ATTR_PVLAN);
    EXPECT_EQ(lcache_pvlan_get_pvlan(0x10000 | kVlan, &pvlan), 0u);
    EXPECT_EQ(pvlan, 0u);
    EXPECT_THAT(
        TraceCapture::debug_text(),
        testing::MatchesRegex("2 vlan_get_bd_and_primary_vlan ret0x[0-9a-f]+ vlan 65556\n"));
    EXPECT_EQ(row(LCACHE_VLAN_STAT_PVLAN), (Counts{0, 1}));
}

// Bits 29-31 kept, but no VLAN table: sync_mask lacks the vlan bit, or the
// table could not be created.  No query or update touches a table then.
TEST_F(VlanCacheTest, WithoutTheVlanTableEveryQueryTakesItsDirectPath) {
    for (const bool init_fails : {false, true}) {
        SCOPED_TRACE(init_fails ? "creation failed" : "not wanted");
        lcache_print_str[0] = '\0';
        if (init_fails)
            ht_fault_inject_after(HT_FAULT_INIT, 1, 1); // after the if table
        init(init_fails ? kVlanCache : kVlanBits);
        TraceCapture::clear();
        // Each passes the peer's status on, but the private-VLAN query.
        fail(PeerFn::vlan_get_bd);
        EXPECT_EQ(lcache_vlan_get_bd(key, &bd), kFault);
        fail(PeerFn::vlan_get_bd_and_primary_vlan);
        EXPECT_EQ(lcache_pvlan_get_pvlan(kVlan, &pvlan), 0u);
        EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), 0u);
        EXPECT_EQ(std::pair(bd, di), std::pair(kBd, kFloodIndex));
        fail(PeerFn::dmap_lib_bd_to_di);
        EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), kFault);
        EXPECT_EQ(TraceCapture::debug_text(), "3vlan_get_bd_and_primary_vlan ret 0x77 vlan 20\n");
        EXPECT_EQ(row(LCACHE_VLAN_STAT_BD), (Counts{0, 5}));
        EXPECT_EQ(row(LCACHE_VLAN_STAT_PVLAN), (Counts{0, 1}));
        EXPECT_EQ(lcache_vlan_flush_vlan(kVlan, 3) + lcache_vlan_flush_all(3), 2u);
        EXPECT_EQ(lcache_vlan_update_vlan(kVlan) + lcache_vlan_remove_entry_by_vlan(kVlan), 0u);
        EXPECT_EQ(lcache.stats.vlan_allocs, 0u);
        // The only error is the failed creation.
        EXPECT_STREQ(lcache_print_str, init_fails ? "Couldn't initialize hash table\n" : "");
    }
}

TEST_F(VlanCacheTest, AnEntryThatCannotBeHadLeavesTheQueriesToThePeers) {
    init(kVlanCache);
    TraceCapture::clear();
    mtrack_fail_next(1);
    errno = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(lcache_vlan_create_entry_by_vlan(kVlan), nullptr);
    EXPECT_THAT(
        testing::internal::GetCapturedStdout(),
        testing::MatchesRegex("Warning! Malloc Failure in libs/lcache/lcache_vlan\\[[0-9]+\\] "
                              "for size " +
                              std::to_string(sizeof(lcache_vlan_entry_t)) + "\n"));
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(TraceCapture::debug_text(), "lcache_vlan_create_entry_by_vlan: Malloc failure\n");

    ht_fault_inject(HT_FAULT_INSERT, 1);
    EXPECT_EQ(lcache_vlan_get_bd(key, &bd), 0u);
    EXPECT_EQ(bd, kBd);
    EXPECT_STREQ(lcache_print_str, "*** Failed to add entry\n");
    EXPECT_EQ(row(LCACHE_VLAN_STAT_BD)[1], 1u);
    EXPECT_EQ((Counts{lcache.stats.vlan_allocs, lcache.stats.vlan_frees}), (Counts{1, 1}));
}

} // namespace
