// The four extension slots and the private data behind slot 0.
#include "query_fixture.h"

namespace {

using lctest::StatsDelta;
using lctest::sync_without;
using sim::Fault;
using sim::FaultKind;
using sim::PeerFn;

struct Slot {
    const char *name;
    uint32_t (*get)(uint32_t iod, uint32_t key);
    uint32_t (*is_set)(uint32_t iod, uint32_t key);
    uint32_t (*set)(uint32_t iod, uint32_t key, uint32_t value);
    unsigned index;
    uint32_t bit;
    lcache_stat_row_t row;
    uint32_t lcache_if_entry_t::*value;
    uint32_t lcache_if_entry_t::*size;
    uint32_t owner_key; // ext_key of the slot
};

const Slot kSlots[] = {
    {"ext", lcache_netif_get_extension, lcache_netif_is_extension_set, lcache_netif_set_extension,
     0, 0x20, LCACHE_STAT_EXT, &lcache_if_entry_t::extn, &lcache_if_entry_t::extn_size,
     lctest::kHistId},
    {"ext1", lcache_netif_get_extension1, lcache_netif_is_extension1_set,
     lcache_netif_set_extension1, 1, 0x40, LCACHE_STAT_EXT1, &lcache_if_entry_t::extn1,
     &lcache_if_entry_t::extn1_size, 0x61},
    {"ext2", lcache_netif_get_extension2, lcache_netif_is_extension2_set,
     lcache_netif_set_extension2, 2, 0x80, LCACHE_STAT_EXT2, &lcache_if_entry_t::extn2,
     &lcache_if_entry_t::extn2_size, 0x62},
    {"ext3", lcache_netif_get_extension3, lcache_netif_is_extension3_set,
     lcache_netif_set_extension3, 3, 0x100, LCACHE_STAT_EXT3, &lcache_if_entry_t::extn3,
     &lcache_if_entry_t::extn3_size, 0x63},
};

constexpr uint32_t kCallerKey = 0x70;

uint32_t convert(uint32_t data, uint32_t size) { return data * 16 + size; }

class ExtensionTest : public lctest::QueryTest {
  protected:
    ExtensionTest() {
        model.set_private_data(port, kCallerKey, {4, 6});
        model.set_extension(port, kCallerKey, 0x99);
        for (const Slot &s : kSlots)
            model.set_private_data(port, s.owner_key, {2 + s.index, 1});
    }

    // Every slot's owner key, and `with_callbacks` gives each slot `convert`.
    static lcache_attr slot_attr(uint32_t sync, bool with_callbacks) {
        lcache_attr a = attr_with(sync);
        for (const Slot &s : kSlots) {
            a.ext_key[s.index] = s.owner_key;
            a.ext_fn[s.index] = with_callbacks ? convert : nullptr;
        }
        return a;
    }
};

TEST_F(ExtensionTest, ClosedGateOrNoEntryPassesThrough) {
    for (const Slot &s : kSlots) {
        SCOPED_TRACE(s.name);
        for (uint32_t closed : {s.bit, uint32_t{LCACHE_ATTR_IOD}, 0u}) {
            init(slot_attr(sync_without(closed), true));
            lcache.attr.create_on_miss = 0;
            EXPECT_EQ(s.get(iod(port), kCallerKey), 0x99u);
            sim::inject_fault(PeerFn::netif_is_extension_set, Fault{FaultKind::value, 2, 1});
            EXPECT_EQ(s.is_set(iod(port), kCallerKey), 2u);
            EXPECT_EQ(calls(PeerFn::netif_get_extension), 1u);
            EXPECT_EQ(lcache.stats.misses[s.row], 2u);
            EXPECT_EQ(lcache.stats.if_allocs, 0u);
        }
    }
}

// The refresh converts the private data under the slot's own key, the
// getter takes the extension value under the caller's key, the is-set test
// converts the private data under the caller's key.
TEST_F(ExtensionTest, ThreeWaysOfFillingASlot) {
    for (const Slot &s : kSlots) {
        SCOPED_TRACE(s.name);
        init(slot_attr(lctest::kSyncAll, true));
        lcache_if_entry_t &entry = cache(port);
        EXPECT_EQ(entry.*s.value, convert(2 + s.index, 1));
        EXPECT_EQ(entry.*s.size, 1u);

        // The getter: one extension query, then hits.
        entry.dirty |= s.bit;
        sim::reset_call_counts();
        const StatsDelta d;
        EXPECT_EQ(s.get(iod(port), kCallerKey), 0x99u);
        EXPECT_EQ(s.get(iod(port), kCallerKey), 0x99u);
        EXPECT_EQ(sim::total_calls(), 1u);
        EXPECT_EQ(d.miss(s.row), 1u);
        EXPECT_EQ(d.hit(s.row), 1u);
        EXPECT_EQ(entry.*s.size, 1u);

        entry.dirty |= s.bit;
        EXPECT_EQ(s.is_set(iod(port), kCallerKey), 1u);
        EXPECT_EQ(entry.*s.value, convert(4, 6));
        EXPECT_EQ(entry.*s.size, 6u);

        // Without a callback the is-set test reads the extension value.
        init(slot_attr(lctest::kSyncAll, false));
        lcache_if_entry_t &plain = cache(port);
        plain.dirty |= s.bit;
        EXPECT_EQ(s.is_set(iod(port), kCallerKey), 1u);
        EXPECT_EQ(plain.*s.value, 0x99u);
    }
}

TEST_F(ExtensionTest, SetterStoresAndSettlesWithoutAnyGate) {
    for (const Slot &s : kSlots) {
        SCOPED_TRACE(s.name);
        init(slot_attr(lctest::kSyncAll, true));
        lcache_if_entry_t &entry = cache(port);
        entry.dirty |= s.bit;
        const uint32_t size = entry.*s.size;
        const StatsDelta d;
        EXPECT_EQ(s.set(iod(port), kCallerKey, 7), 1u);
        EXPECT_EQ(d.update(s.row), 1u);
        EXPECT_EQ(entry.*s.size, size);
        sim::reset_call_counts();
        EXPECT_EQ(s.get(iod(port), kCallerKey), 7u);
        EXPECT_EQ(d.hit(s.row), 1u);
        EXPECT_EQ(sim::total_calls(), 0u);

        // A stored 0 is answered once, then asked for again.
        s.set(iod(port), kCallerKey, 0);
        EXPECT_EQ(s.get(iod(port), kCallerKey), 0u);
        EXPECT_EQ(s.get(iod(port), kCallerKey), 0x99u);
        EXPECT_EQ(sim::total_calls(), 1u);

        // Stored even when the slot is not kept, but then never read.
        init(slot_attr(sync_without(s.bit), true));
        lcache_if_entry_t &unkept = cache(port);
        EXPECT_EQ(s.set(iod(port), kCallerKey, 8), 1u);
        EXPECT_EQ(unkept.*s.value, 8u);
        EXPECT_EQ(s.get(iod(port), kCallerKey), 0x99u);

        init(slot_attr(lctest::kSyncAll, true));
        lcache.attr.create_on_miss = 0;
        EXPECT_EQ(s.set(iod(port), kCallerKey, 9), 1u) << "no entry: nothing to do";
        EXPECT_EQ(lcache.stats.if_allocs, 0u);
    }
}

TEST_F(ExtensionTest, PrivateDataIsCachedOnlyWithSlotZerosCallback) {
    // Without a callback: always the raw private data of the caller's key.
    init(slot_attr(lctest::kSyncAll, false));
    cache(port);
    sim::reset_call_counts();
    uint32_t size = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCallerKey, &size), 4u);
        EXPECT_EQ(size, 6u);
    }
    EXPECT_EQ(calls(PeerFn::netif_get_private_data), 2u);
    EXPECT_EQ(lcache.stats.misses[LCACHE_STAT_EXT], 2u);

    // Cached: the slot's own key, whatever the caller asks under.
    init(slot_attr(lctest::kSyncAll, true));
    lcache_if_entry_t &entry = cache(port);
    sim::reset_call_counts();
    EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCallerKey, &size), convert(2, 1));
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(sim::total_calls(), 0u);
    entry.dirty |= LCACHE_ATTR_EXT;
    EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCallerKey, &size), convert(2, 1));
    EXPECT_EQ(calls(PeerFn::netif_get_private_data), 1u);
    EXPECT_EQ(lcache.stats.hits[LCACHE_STAT_EXT], 1u);
    EXPECT_EQ(lcache.stats.misses[LCACHE_STAT_EXT], 1u);

    // A closed gate still converts, under the caller's key.
    init(slot_attr(sync_without(LCACHE_ATTR_EXT), true));
    EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCallerKey, &size), convert(4, 6));
    EXPECT_EQ(size, 6u);
}

TEST_F(ExtensionTest, UpdatePrivateDataStoresSlotZeroWithoutSettlingIt) {
    init(slot_attr(lctest::kSyncAll, false));
    lcache_if_entry_t &ignored = cache(port);
    EXPECT_EQ(lcache_netif_update_private_data(iod(port), kCallerKey, 11, 12), 1u);
    EXPECT_NE(ignored.extn, 11u) << "slot 0 is not served without its callback";

    init(slot_attr(lctest::kSyncAll, true));
    lcache.attr.create_on_miss = 0;
    EXPECT_EQ(lcache_netif_update_private_data(iod(port), kCallerKey, 11, 12), 0u);

    lcache.attr.create_on_miss = 1;
    lcache_if_entry_t &entry = cache(port);
    entry.dirty |= LCACHE_ATTR_EXT;
    EXPECT_EQ(lcache_netif_update_private_data(iod(port), kCallerKey, 11, 12), 1u);
    EXPECT_EQ(entry.extn, 11u);
    EXPECT_EQ(entry.extn_size, 12u);
    EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_EXT], 2u) << "the creation's refresh, then this";
    EXPECT_NE(entry.dirty & LCACHE_ATTR_EXT, 0u);
}

} // namespace
