// The hash table's chain handling, run under a spreading, an identity and a
// single-bucket hash so every chain shape is exercised.
#include <array>
#include <cstddef>
#include <map>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "ht_test_item.h"

namespace {

uint32_t mixing_hash(const void *key, uint32_t num_buckets) {
    uint32_t x = *static_cast<const uint32_t *>(key);
    x = (x ^ (x >> 16)) * 0x7feb352dU;
    x = (x ^ (x >> 15)) * 0x846ca68bU;
    return (x ^ (x >> 16)) % num_buckets;
}

uint32_t single_bucket_hash(const void *, uint32_t num_buckets) { return num_buckets - 1; }

struct NamedHash {
    const char *name;
    ht_hash_fn fn;
};

void PrintTo(const NamedHash &hash, std::ostream *os) { *os << hash.name; }

constexpr uint32_t kBuckets = 8;

class HtChains : public ::testing::TestWithParam<NamedHash> {
  protected:
    void SetUp() override { ASSERT_TRUE(make(&table_, kBuckets)); }
    void TearDown() override { ht_cleanup(&table_); }

    uint32_t make(ht_table_t *t, uint32_t buckets, size_t link = offsetof(Item, by_key),
                  ht_get_key_fn get_key = key_of) {
        return ht_init(t, 0, link, buckets, 0.0, GetParam().fn, get_key, u32_equal);
    }
    Item *find(uint32_t key) { return static_cast<Item *>(ht_lookup(&table_, &key)); }

    ht_table_t table_{};
};

TEST_P(HtChains, RemovesFromEveryChainPosition) {
    // Keys kBuckets apart share a chain under the identity hash, newest
    // first, so victims 0, 1 and 2 are its tail, middle and head.
    for (int victim = 0; victim < 3; ++victim) {
        SCOPED_TRACE(victim);
        Item items[3] = {{5}, {5 + kBuckets}, {5 + 2 * kBuckets}};
        for (Item &i : items)
            ASSERT_TRUE(ht_insert(&table_, &i, 0));
        EXPECT_EQ(find(5 + 3 * kBuckets), nullptr);
        ASSERT_TRUE(ht_remove_entry(&table_, &items[victim]));
        EXPECT_FALSE(ht_remove_entry(&table_, &items[victim]));
        EXPECT_TRUE(!items[victim].by_key.next && !items[victim].by_key.pprev);
        EXPECT_EQ(table_.num_entries, 2u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(find(items[i].key), i == victim ? nullptr : &items[i]);
        // Re-linked and removed again, the neighbours' links must still hold.
        ASSERT_TRUE(ht_insert(&table_, &items[victim], 0));
        for (Item &i : items)
            ASSERT_TRUE(ht_remove_entry(&table_, &i));
        EXPECT_EQ(table_.num_entries, 0u);
    }
}

TEST_P(HtChains, KeepsEachTableToItsOwnEntries) {
    ht_table_t by_alt{}, twin{};
    ASSERT_TRUE(make(&by_alt, kBuckets, offsetof(Item, by_alt), alt_of));
    ASSERT_TRUE(make(&twin, kBuckets));
    Item both{1, 40}, held{9, 30}, in_twin{17}, same_key{9};
    for (Item *i : {&both, &held})
        ASSERT_TRUE(ht_insert(&table_, i, 0) && ht_insert(&by_alt, i, 0));
    ASSERT_TRUE(ht_insert(&twin, &in_twin, 0));
    // A stale copy's pprev points into this very table.
    Item copy = held;
    for (Item *stranger : {&same_key, &in_twin, &copy})
        EXPECT_FALSE(ht_remove_entry(&table_, stranger));
    EXPECT_FALSE(ht_insert(&table_, &held, 0));
    ASSERT_TRUE(ht_remove_entry(&table_, &both));
    EXPECT_EQ(find(both.key), nullptr);
    EXPECT_EQ(find(held.key), &held);
    EXPECT_EQ(ht_lookup(&by_alt, &both.alt), &both);
    EXPECT_EQ(ht_lookup(&twin, &in_twin.key), &in_twin);
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

TEST_P(HtChains, StatisticsFollowChainLengths) {
    // One bucket makes every hash agree on the chain: newest first.
    ht_table_t one{};
    ASSERT_TRUE(make(&one, 1));
    Item items[3] = {{1}, {2}, {3}};
    uint32_t missing = 99;
    EXPECT_EQ(ht_lookup(&one, &missing), nullptr); // empty chain: 1 step
    for (Item &i : items)
        ASSERT_TRUE(ht_insert(&one, &i, 0));
    EXPECT_EQ(ht_lookup(&one, &items[0].key), &items[0]); // 3 steps
    ASSERT_TRUE(ht_remove_entry(&one, &items[2]));
    EXPECT_EQ(ht_lookup(&one, &items[1].key), &items[1]); // 1 step
    EXPECT_EQ(ht_lookup(&one, &missing), nullptr);        // 2 steps
    ht_stats_t stats{};
    ASSERT_TRUE(ht_get_stats(&one, &stats));
    EXPECT_EQ(stats.size_hwm, 3u);
    EXPECT_EQ(stats.worst_lookup, 3u);
    EXPECT_DOUBLE_EQ(stats.avg_lookup, 7.0 / 4);
    ht_cleanup(&one);
}

INSTANTIATE_TEST_SUITE_P(HtHashes, HtChains,
                         ::testing::Values(NamedHash{"identity", identity_hash},
                                           NamedHash{"mixing", mixing_hash},
                                           NamedHash{"single_bucket", single_bucket_hash}),
                         [](const auto &hash) { return std::string(hash.param.name); });

} // namespace
