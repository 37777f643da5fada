// ht_lookup_u32 must answer and count exactly as ht_lookup does on a table
// whose callbacks hash a u32 key modulo the bucket count.
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "ht_test_item.h"

namespace {

struct Twin {
    explicit Twin(uint32_t buckets) {
        for (ht_table_t *t : {&by_callbacks, &by_u32})
            EXPECT_TRUE(ht_init(t, 0, offsetof(Item, by_key), buckets, 0.0, identity_hash, key_of,
                                u32_equal));
    }
    ~Twin() {
        ht_cleanup(&by_callbacks);
        ht_cleanup(&by_u32);
    }
    ht_table_t by_callbacks{}, by_u32{};
};

// Power-of-two and other bucket counts take different paths to the chain.
class HtU32 : public ::testing::TestWithParam<uint32_t> {};

TEST_P(HtU32, FindsWhatTheCallbacksFindAndCountsTheSame) {
    const uint32_t buckets = GetParam();
    Twin twin(buckets);
    // Keys `buckets` apart share a chain, so every chain position is looked up.
    std::vector<Item> a, b;
    for (uint32_t k : {3u, 3 + buckets, 3 + 2 * buckets, 5u, 0xFFFFFFF0u}) {
        a.emplace_back(k);
        b.emplace_back(k);
    }
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_TRUE(ht_insert(&twin.by_callbacks, &a[i], 0));
        ASSERT_TRUE(ht_insert(&twin.by_u32, &b[i], 0));
    }
    for (uint32_t key : {3u, 3 + buckets, 3 + 2 * buckets, 3 + 3 * buckets, 5u, 6u, 0xFFFFFFF0u}) {
        SCOPED_TRACE(key);
        auto *expected = static_cast<Item *>(ht_lookup(&twin.by_callbacks, &key));
        auto *found = static_cast<Item *>(ht_lookup_u32(&twin.by_u32, key, offsetof(Item, key)));
        ASSERT_EQ(found == nullptr, expected == nullptr);
        if (found) {
            EXPECT_EQ(found - b.data(), expected - a.data());
        }
    }
    ht_stats_t expected{}, counted{};
    ASSERT_TRUE(ht_get_stats(&twin.by_callbacks, &expected));
    ASSERT_TRUE(ht_get_stats(&twin.by_u32, &counted));
    EXPECT_EQ(counted.worst_lookup, expected.worst_lookup);
    EXPECT_DOUBLE_EQ(counted.avg_lookup, expected.avg_lookup);
}

INSTANTIATE_TEST_SUITE_P(Buckets, HtU32, ::testing::Values(1u, 7u, 16u));

TEST(HtU32Lookup, FindsNothingInATableNeverCreated) {
    ht_table_t never{};
    EXPECT_EQ(ht_lookup_u32(&never, 1, 0), nullptr);
    EXPECT_EQ(ht_lookup_u32(nullptr, 1, 0), nullptr);
}

} // namespace
