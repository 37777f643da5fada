// The hash table's refusals and the injected faults the cache's error paths
// are tested with.
#include <array>
#include <cstddef>
#include <cstring>
#include <tuple>

#include <gtest/gtest.h>

#include "ht_test_item.h"

namespace {

// Each bad argument is refused and leaves the table zeroed.
TEST(HtGuards, BadArgumentsAreRefused) {
    const std::tuple<uint32_t, uint32_t, double, ht_hash_fn, ht_get_key_fn, ht_keys_equal_fn>
        refused[] = {{1, 8, 0.0, identity_hash, key_of, u32_equal},
                     {0, 0, 0.0, identity_hash, key_of, u32_equal},
                     {0, 8, 0.75, identity_hash, key_of, u32_equal},
                     {0, 8, 0.0, nullptr, key_of, u32_equal},
                     {0, 8, 0.0, identity_hash, nullptr, u32_equal},
                     {0, 8, 0.0, identity_hash, key_of, nullptr}};
    const ht_table_t zero{};
    ht_table_t t;
    for (const auto &[flags, buckets, load, hash, get_key, equal] : refused) {
        memset(&t, 0xa5, sizeof t);
        EXPECT_FALSE(
            ht_init(&t, flags, offsetof(Item, by_key), buckets, load, hash, get_key, equal));
        EXPECT_EQ(memcmp(&t, &zero, sizeof t), 0);
    }
}

// Armed together, each operation fails once: the counts are kept apart.
// Armed after two successes, the third call fails.
TEST(HtGuards, AnInjectedFaultFailsTheArmedOperationTheArmedNumberOfTimes) {
    ht_table_t t{};
    Item items[4] = {{1}, {2}, {3}, {4}};
    ht_iterator_t it;
    ht_stats_t stats;
    for (int op = 0; op < HT_FAULT_OP_COUNT; ++op)
        ht_fault_inject(static_cast<ht_fault_op_t>(op), 1);
    EXPECT_FALSE(ht_init(&t, 0, offsetof(Item, by_key), 8, 0.0, identity_hash, key_of, u32_equal));
    ASSERT_TRUE(ht_init(&t, 0, offsetof(Item, by_key), 8, 0.0, identity_hash, key_of, u32_equal));
    EXPECT_EQ((std::array{ht_insert(&t, items, 0), ht_insert(&t, items, 0),
                          ht_remove_entry(&t, items), ht_remove_entry(&t, items),
                          ht_iterator_init(&it, &t, 0, 8), ht_iterator_init(&it, &t, 0, 8),
                          ht_get_stats(&t, &stats), ht_get_stats(&t, &stats)}),
              (std::array{0u, 1u, 0u, 1u, 0u, 1u, 0u, 1u}));
    ht_fault_inject(HT_FAULT_INSERT, 5);
    ht_fault_inject_after(HT_FAULT_INSERT, 2, 1); // replaces the count of 5
    EXPECT_EQ((std::array{ht_insert(&t, &items[0], 0), ht_insert(&t, &items[1], 0),
                          ht_insert(&t, &items[2], 0), ht_insert(&t, &items[3], 0)}),
              (std::array{1u, 1u, 0u, 1u}));
    ht_cleanup(&t);
}

} // namespace
