// SPDX-License-Identifier: MIT
// The four extension slots and the private data behind slot 0.
#include "query_fixture.h"

namespace lctest {

const struct Slot {
    uint32_t (*get)(uint32_t iod, uint32_t key);
    uint32_t (*is_set)(uint32_t iod, uint32_t key);
    uint32_t (*set)(uint32_t iod, uint32_t key, uint32_t value);
    unsigned index;
    uint32_t bit;
    lcache_stat_row_t row;
    uint32_t lcache_if_entry_t::*value, lcache_if_entry_t::*size;
} kSlots[] = {
    {lcache_netif_get_extension, lcache_netif_is_extension_set, lcache_netif_set_extension, 0, 0x20,
     LCACHE_STAT_EXT, &lcache_if_entry_t::extn, &lcache_if_entry_t::extn_size},
    {lcache_netif_get_extension1, lcache_netif_is_extension1_set, lcache_netif_set_extension1, 1,
     0x40, LCACHE_STAT_EXT1, &lcache_if_entry_t::extn1, &lcache_if_entry_t::extn1_size},
    {lcache_netif_get_extension2, lcache_netif_is_extension2_set, lcache_netif_set_extension2, 2,
     0x80, LCACHE_STAT_EXT2, &lcache_if_entry_t::extn2, &lcache_if_entry_t::extn2_size},
    {lcache_netif_get_extension3, lcache_netif_is_extension3_set, lcache_netif_set_extension3, 3,
     0x100, LCACHE_STAT_EXT3, &lcache_if_entry_t::extn3, &lcache_if_entry_t::extn3_size},
};

constexpr uint32_t kCaller = 0x70; // the key the callers ask under

class ExtensionTest : public QueryTest {
  protected:
    // Slot i is owned by key 0x60 + i (slot 0 by the history id); `convert`
    // turns private data into a value when `converting`.
    ExtensionTest() {
        model.set_private_data(port, kCaller, {4, 6});
        model.set_extension(port, kCaller, 0x99);
        for (unsigned i = 0; i < 4; ++i)
            model.set_private_data(port, i ? 0x60 + i : kHistId, {2 + i, 1});
    }
    void init_slots(uint32_t sync, bool converting = true, bool create_on_miss = true) {
        lcache_attr a = attr_with(sync);
        for (unsigned i = 0; i < 4; ++i) {
            a.ext_key[i] = i ? 0x60 + i : kHistId;
            a.ext_fn[i] = converting ? convert : nullptr;
        }
        init(a);
        lcache.attr.create_on_miss = create_on_miss;
    }
};

// A closed gate or no entry passes through.  The refresh converts the
// private data under the slot's own key; the getter takes the extension
// value under the caller's key, then hits; the is-set test converts the
// caller's private data; the owner's setter settles the slot without any
// gate, a 0 answered once and then asked for again; a slot not kept is
// stored but never read.
TEST_F(ExtensionTest, ThreeWaysOfFillingASlotAndTheSetter) {
    for (const Slot &s : kSlots) {
        SCOPED_TRACE(s.index);
        for (uint32_t closed : {s.bit, uint32_t{LCACHE_ATTR_IOD}, 0u}) {
            init_slots(sync_without(closed), true, false);
            sim::inject_fault(PeerFn::netif_is_extension_set, Fault{FaultKind::value, 2, 1});
            EXPECT_EQ(std::tuple(s.get(iod(port), kCaller), s.is_set(iod(port), kCaller)),
                      std::tuple(0x99u, 2u));
            EXPECT_EQ(misses(s.row), 2u);
        }
        init_slots(kSyncAll);
        lcache_if_entry_t &entry = cache(port);
        EXPECT_EQ(std::tuple(entry.*s.value, entry.*s.size),
                  std::tuple(convert(2 + s.index, 1), 1u));
        entry.dirty |= s.bit;
        sim::reset_call_counts();
        EXPECT_EQ(s.get(iod(port), kCaller) + s.get(iod(port), kCaller), 2 * 0x99u);
        EXPECT_EQ(std::tuple(sim::total_calls(), misses(s.row), hits(s.row)),
                  std::tuple(1u, 1u, 1u));
        entry.dirty |= s.bit;
        EXPECT_EQ(s.is_set(iod(port), kCaller), 1u);
        EXPECT_EQ(std::tuple(entry.*s.value, entry.*s.size), std::tuple(convert(4, 6), 6u));
        entry.dirty |= s.bit;
        EXPECT_EQ(s.set(iod(port), kCaller, 7), 1u);
        EXPECT_EQ(s.get(iod(port), kCaller), 7u);
        s.set(iod(port), kCaller, 0);
        EXPECT_EQ(s.get(iod(port), kCaller), 0u);    // a 0 is answered once,
        EXPECT_EQ(s.get(iod(port), kCaller), 0x99u); // then asked for again
        EXPECT_EQ(updates(s.row), 3u);               // the creation's refresh, then the setter
        init_slots(sync_without(s.bit));
        EXPECT_EQ(s.set(iod(port), kCaller, 8), 1u);
        EXPECT_EQ(std::tuple(cache(port).*s.value, s.get(iod(port), kCaller)),
                  std::tuple(8u, 0x99u));
    }
}

// Private data is served from slot 0 only with slot 0's callback, then
// under the slot's own key; otherwise it is the caller's, converted when
// there is a callback.  An update stores slot 0 without settling it.
TEST_F(ExtensionTest, PrivateDataAndItsUpdate) {
    uint32_t size = 0;
    init_slots(kSyncAll, false);
    lcache_if_entry_t &raw = cache(port);
    EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCaller, &size), 4u);
    EXPECT_EQ(std::tuple(size, misses(LCACHE_STAT_EXT)), std::tuple(6u, 1u));
    EXPECT_EQ(lcache_netif_update_private_data(iod(port), kCaller, 11, 12), 1u);
    EXPECT_NE(raw.extn, 11u) << "slot 0 is not served without its callback";
    raw.dirty |= LCACHE_ATTR_EXT; // and the is-set test reads the extension value
    EXPECT_EQ(lcache_netif_is_extension_set(iod(port), kCaller), 1u);
    EXPECT_EQ(raw.extn, 0x99u);

    init_slots(kSyncAll);
    lcache_if_entry_t &entry = cache(port);
    entry.dirty |= LCACHE_ATTR_EXT;
    // The size may be NULL, here and on the peer's path below.
    for (uint32_t *out : {static_cast<uint32_t *>(nullptr), &size})
        EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCaller, out), convert(2, 1));
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(std::tuple(misses(LCACHE_STAT_EXT), hits(LCACHE_STAT_EXT)), std::tuple(1u, 1u));
    entry.dirty |= LCACHE_ATTR_EXT;
    EXPECT_EQ(lcache_netif_update_private_data(iod(port), kCaller, 11, 12), 1u);
    EXPECT_EQ(std::tuple(entry.extn, entry.extn_size, entry.dirty & LCACHE_ATTR_EXT),
              std::tuple(11u, 12u, LCACHE_ATTR_EXT));

    init_slots(sync_without(LCACHE_ATTR_EXT));
    EXPECT_EQ(lcache_netif_get_private_data(iod(port), kCaller, nullptr), convert(4, 6));
    init_slots(kSyncAll, true, false);
    EXPECT_EQ(lcache_netif_update_private_data(iod(port), kCaller, 11, 12), 0u);
}

} // namespace lctest
