// The hash table's refusals: a table never created, bad arguments, and the
// injected faults the cache's error paths are tested with.
#include <cstddef>
#include <cstring>
#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include "ht_test_item.h"

namespace {

bool all_zero(const ht_table_t &t) {
    static const ht_table_t zero{};
    return memcmp(&t, &zero, sizeof t) == 0;
}

uint32_t make(ht_table_t *t) {
    return ht_init(t, 0, offsetof(Item, by_key), 8, 0.0, identity_hash, key_of, u32_equal);
}

TEST(HtUnmade, EveryOperationIsInert) {
    ht_table_t t{};
    Item item{1};
    ht_iterator_t it;
    ht_stats_t stats;
    EXPECT_EQ(ht_lookup(&t, &item.key), nullptr);
    EXPECT_FALSE(ht_insert(&t, &item, 0));
    EXPECT_FALSE(ht_remove_entry(&t, &item));
    EXPECT_FALSE(ht_iterator_init(&it, &t, 0, 0));
    EXPECT_EQ(ht_iterator_next(&it, 0), nullptr);
    EXPECT_FALSE(ht_get_stats(&t, &stats));
    ht_cleanup(&t);
    EXPECT_TRUE(all_zero(t));
    EXPECT_EQ(item.by_key.pprev, nullptr);
}

TEST(HtInit, RefusesBadArgumentsLeavingTheTableZeroed) {
    auto refused = [](uint32_t flags, uint32_t buckets, double max_load, ht_hash_fn hash,
                      ht_get_key_fn get_key, ht_keys_equal_fn keys_equal) {
        ht_table_t t;
        memset(&t, 0xa5, sizeof t);
        return !ht_init(&t, flags, offsetof(Item, by_key), buckets, max_load, hash, get_key,
                        keys_equal) &&
               all_zero(t);
    };
    EXPECT_TRUE(refused(0, 0, 0.0, identity_hash, key_of, u32_equal));
    EXPECT_TRUE(refused(1, 8, 0.0, identity_hash, key_of, u32_equal));
    EXPECT_TRUE(refused(0, 8, 0.75, identity_hash, key_of, u32_equal));
    EXPECT_TRUE(refused(0, 8, 0.0, nullptr, key_of, u32_equal));
    EXPECT_TRUE(refused(0, 8, 0.0, identity_hash, nullptr, u32_equal));
    EXPECT_TRUE(refused(0, 8, 0.0, identity_hash, key_of, nullptr));
}

TEST(HtFaultInject, FailsTheArmedOperationTheArmedNumberOfTimes) {
    ht_table_t t{};
    ASSERT_TRUE(make(&t));
    Item held{1}, spare{2};
    ASSERT_TRUE(ht_insert(&t, &held, 0));
    ht_iterator_t it;
    ht_stats_t stats;
    // One call of each operation; a success is undone so every call starts
    // from the same table.
    const std::pair<ht_fault_op_t, std::function<bool()>> cases[] = {
        {HT_FAULT_INIT,
         [] {
             ht_table_t other;
             bool ok = make(&other);
             EXPECT_TRUE(ok || all_zero(other));
             ht_cleanup(&other);
             return ok;
         }},
        {HT_FAULT_INSERT, [&] { return ht_insert(&t, &spare, 0) && ht_remove_entry(&t, &spare); }},
        {HT_FAULT_REMOVE, [&] { return ht_remove_entry(&t, &held) && ht_insert(&t, &held, 0); }},
        {HT_FAULT_ITERATOR, [&] { return ht_iterator_init(&it, &t, 0, t.num_buckets) != 0; }},
        {HT_FAULT_STATS, [&] { return ht_get_stats(&t, &stats) != 0; }},
    };
    // Armed together, each operation fails once: the counts are kept apart.
    for (const auto &[op, run] : cases)
        ht_fault_inject(op, 1);
    for (const auto &[op, run] : cases)
        EXPECT_FALSE(run()) << op;
    for (const auto &[op, run] : cases) {
        SCOPED_TRACE(op);
        EXPECT_TRUE(run());
        ht_fault_inject(op, 2);
        EXPECT_FALSE(run());
        EXPECT_FALSE(run());
        EXPECT_TRUE(run());
        ht_fault_inject(op, 5);
        ht_fault_inject(op, 0);
        EXPECT_TRUE(run());
        ht_fault_inject_after(op, 2, 1); // two more succeed, then one fails
        EXPECT_TRUE(run());
        EXPECT_TRUE(run());
        EXPECT_FALSE(run());
        EXPECT_TRUE(run());
    }
    EXPECT_EQ(t.num_entries, 1u);
    EXPECT_EQ(ht_lookup(&t, &held.key), &held);
    EXPECT_FALSE(ht_iterator_init(&it, &t, 0, t.num_buckets - 1));
    EXPECT_EQ(ht_iterator_next(&it, 0), nullptr);
    ht_cleanup(&t);
}

} // namespace
