// The hash table's chain handling, run under an identity and a
// single-bucket hash so chains of one and of every entry are exercised.
#include <array>
#include <cstddef>
#include <map>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "ht_test_item.h"

namespace {

uint32_t single_bucket_hash(const void *, uint32_t num_buckets) { return num_buckets - 1; }

constexpr uint32_t kBuckets = 8;

using NamedHash = std::pair<const char *, ht_hash_fn>;

class HtChains : public ::testing::TestWithParam<NamedHash> {
  protected:
    void SetUp() override { ASSERT_TRUE(make(&table_)); }
    void TearDown() override { ht_cleanup(&table_); }

    uint32_t make(ht_table_t *t, uint32_t buckets = kBuckets, size_t link = offsetof(Item, by_key),
                  ht_get_key_fn get_key = key_of) {
        return ht_init(t, 0, link, buckets, 0.0, GetParam().second, get_key, u32_equal);
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
    ASSERT_TRUE(make(&by_alt, kBuckets, offsetof(Item, by_alt), alt_of) && make(&twin));
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

} // namespace
