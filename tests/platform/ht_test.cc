// SPDX-License-Identifier: MIT
// The hash table: chain handling under an identity and a single-bucket hash
// (chains of one and of every entry), ht_lookup_u32 against ht_lookup, the
// refusals, and the injected faults the cache's error paths are tested with.
#include <array>
#include <cstddef>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "ht.h"

namespace {

// Sits in one table by `key` through `by_key` and in another by `alt`
// through `by_alt`.
struct Item {
    uint32_t key = 0;
    uint32_t alt = 0;
    ht_link_t by_key{};
    ht_link_t by_alt{};
};

void *key_of(void *entry) { return &static_cast<Item *>(entry)->key; }
void *alt_of(void *entry) { return &static_cast<Item *>(entry)->alt; }

uint32_t u32_equal(const void *a, const void *b) {
    return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}
uint32_t identity_hash(const void *key, uint32_t num_buckets) {
    return *static_cast<const uint32_t *>(key) % num_buckets;
}

uint32_t single_bucket_hash(const void *, uint32_t num_buckets) { return num_buckets - 1; }

constexpr uint32_t kBuckets = 8;

using NamedHash = std::pair<const char *, ht_hash_fn>;

class HtChains : public ::testing::TestWithParam<NamedHash> {
  protected:
    void SetUp() override { ASSERT_TRUE(make(&table_)); }
    void TearDown() override { ht_cleanup(&table_); }

    uint32_t make(ht_table_t *t, size_t link = offsetof(Item, by_key),
                  ht_get_key_fn get_key = key_of) {
        return ht_init(t, 0, link, kBuckets, 0.0, GetParam().second, get_key, u32_equal);
    }
    Item *find(uint32_t key) { return static_cast<Item *>(ht_lookup(&table_, &key)); }

    ht_table_t table_{};
};

// Keys kBuckets apart share a chain under the identity hash, newest first,
// so victims 0, 1 and 2 are its tail, middle and head.
TEST_P(HtChains, RemovesFromEveryChainPosition) {
    for (int victim = 0; victim < 3; ++victim) {
        Item items[3] = {{5}, {5 + kBuckets}, {5 + 2 * kBuckets}};
        for (Item &i : items)
            ASSERT_TRUE(ht_insert(&table_, &i, 0));
        ASSERT_TRUE(ht_remove_entry(&table_, &items[victim]));
        EXPECT_FALSE(ht_remove_entry(&table_, &items[victim]));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(find(items[i].key), i == victim ? nullptr : &items[i]) << victim;
        // Re-linked and removed again, the neighbours' links must still hold.
        ASSERT_TRUE(ht_insert(&table_, &items[victim], 0));
        for (Item &i : items)
            ASSERT_TRUE(ht_remove_entry(&table_, &i));
        EXPECT_EQ(table_.num_entries, 0u);
    }
}

// An entry is removed only from the table whose chain holds it, and is
// inserted at most once.
TEST_P(HtChains, KeepsEachTableToItsOwnEntries) {
    ht_table_t by_alt{}, twin{};
    ASSERT_TRUE(make(&by_alt, offsetof(Item, by_alt), alt_of) && make(&twin));
    Item both{1, 40}, held{9, 30}, in_twin{17}, same_key{9};
    for (Item *i : {&both, &held})
        ASSERT_TRUE(ht_insert(&table_, i, 0) && ht_insert(&by_alt, i, 0));
    ASSERT_TRUE(ht_insert(&twin, &in_twin, 0));
    Item copy = held; // a stale copy's pprev points into this very table
    for (Item *stranger : {&same_key, &in_twin, &copy})
        EXPECT_FALSE(ht_remove_entry(&table_, stranger));
    EXPECT_FALSE(ht_insert(&table_, &held, 0));
    ASSERT_TRUE(ht_remove_entry(&table_, &both));
    EXPECT_EQ(find(held.key), &held);
    EXPECT_EQ((std::array{table_.num_entries, by_alt.num_entries, twin.num_entries}),
              (std::array{1u, 2u, 1u}));
    ht_cleanup(&by_alt);
    ht_cleanup(&twin);
}

TEST_P(HtChains, IteratesEachEntryOnceWhileTheCallerFreesIt) {
    std::map<uint32_t, int> expected, seen;
    for (uint32_t key = 0; key < 150; key += 3) {
        expected[key] = 1;
        ASSERT_TRUE(ht_insert(&table_, new Item{key}, 0));
    }
    ht_iterator_t it;
    ASSERT_TRUE(ht_iterator_init(&it, &table_, 0, table_.num_buckets));
    while (void *entry = ht_iterator_next(&it, 0)) {
        ++seen[static_cast<Item *>(entry)->key];
        delete static_cast<Item *>(entry);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(ht_iterator_next(&it, 0), nullptr);
}

INSTANTIATE_TEST_SUITE_P(HtHashes, HtChains,
                         ::testing::Values(NamedHash{"identity", identity_hash},
                                           NamedHash{"single_bucket", single_bucket_hash}),
                         [](const auto &hash) { return std::string(hash.param.first); });

// Power-of-two and other bucket counts take different paths to the chain;
// keys `buckets` apart share one, so every chain position is looked up.
class HtU32 : public ::testing::TestWithParam<uint32_t> {};

TEST_P(HtU32, FindsWhatTheCallbacksFindAndCountsTheSame) {
    const uint32_t n = GetParam();
    const uint32_t keys[] = {3, 3 + n, 3 + 2 * n, 5, 0xFFFFFFF0u};
    ht_table_t tables[2]{};
    Item items[2][5];
    for (int t = 0; t < 2; ++t) {
        ASSERT_TRUE(ht_init(&tables[t], 0, offsetof(Item, by_key), n, 0.0, identity_hash, key_of,
                            u32_equal));
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(ht_insert(&tables[t], &(items[t][i] = Item{keys[i]}), 0));
    }
    for (uint32_t key : {3u, 3 + n, 3 + 2 * n, 3 + 3 * n, 5u, 6u, 0xFFFFFFF0u}) {
        auto *expected = static_cast<Item *>(ht_lookup(&tables[0], &key));
        auto *found = static_cast<Item *>(ht_lookup_u32(&tables[1], key, offsetof(Item, key)));
        EXPECT_EQ(found ? found - items[1] : -1, expected ? expected - items[0] : -1) << key;
    }
    ht_stats_t expected{}, counted{};
    ASSERT_TRUE(ht_get_stats(&tables[0], &expected) && ht_get_stats(&tables[1], &counted));
    EXPECT_EQ(counted.worst_lookup, expected.worst_lookup);
    EXPECT_DOUBLE_EQ(counted.avg_lookup, expected.avg_lookup);
    ht_cleanup(&tables[0]);
    ht_cleanup(&tables[1]);
    ht_table_t never{};
    EXPECT_TRUE(!ht_lookup_u32(&never, 1, 0) && !ht_lookup_u32(nullptr, 1, 0));
}

INSTANTIATE_TEST_SUITE_P(Buckets, HtU32, ::testing::Values(1u, 7u, 16u));

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
