// ht_lookup_u32 must answer and count exactly as ht_lookup does on a table
// whose callbacks hash a u32 key modulo the bucket count.
#include <cstddef>

#include <gtest/gtest.h>

#include "ht_test_item.h"

namespace {

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

} // namespace
