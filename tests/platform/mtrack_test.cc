// Memory tracker counts.  Every id used here lies in [kBase, kBase +
// MTRACK_MAX_IDS), so filling the slot table in one test never takes a
// slot another test needs, whatever the order.
#include <array>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "mtrack.h"

namespace {

constexpr uint32_t kBase = 0x5100;
constexpr uint32_t kCountsId = kBase, kFailId = kBase + 1, kNamesId = kBase + 2;

using Counts = std::array<uint64_t, 7>;

Counts counts(const mtrack_usage_t &u) {
    return {u.live_blocks, u.live_bytes, u.peak_blocks,  u.peak_bytes,
            u.allocs,      u.frees,      u.failed_allocs};
}

Counts usage(uint32_t id, uint32_t type) {
    mtrack_usage_t u;
    memset(&u, 0xa5, sizeof u);
    mtrack_get_usage(id, type, &u);
    return counts(u);
}

Counts overflow() {
    mtrack_usage_t u;
    mtrack_get_overflow_usage(&u);
    return counts(u);
}

TEST(MtrackUsage, FollowsAllocAndFreePerType) {
    void *a = mtrack_alloc(kCountsId, 1, 24);
    void *b = mtrack_alloc(kCountsId, 1, 40);
    void *c = mtrack_alloc(kCountsId, 2, 8);
    ASSERT_TRUE(a && b && c);
    for (void *p : {a, b, c})
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    memset(a, 1, 24);
    memset(b, 1, 40);
    mtrack_free(a);
    mtrack_free(nullptr);
    EXPECT_EQ(usage(kCountsId, 1), (Counts{1, 40, 2, 64, 2, 1, 0}));
    EXPECT_EQ(usage(kCountsId, 2), (Counts{1, 8, 1, 8, 1, 0, 0}));
    EXPECT_EQ(usage(kCountsId, 3), Counts{});
    EXPECT_EQ(usage(kBase + 0x1000, 1), Counts{});
    mtrack_free(b);
    mtrack_free(c);
    EXPECT_EQ(usage(kCountsId, 1), (Counts{0, 0, 2, 64, 2, 2, 0}));
}

TEST(MtrackFailNext, FailsExactlyTheArmedAllocations) {
    mtrack_fail_next(2);
    EXPECT_EQ(mtrack_alloc(kFailId, 0, 16), nullptr);
    EXPECT_EQ(mtrack_alloc(kFailId, 0, 16), nullptr);
    void *first = mtrack_alloc(kFailId, 0, 16);
    mtrack_fail_next(3);
    mtrack_fail_next(0);
    void *second = mtrack_alloc(kFailId, 0, 16);
    EXPECT_TRUE(first && second);
    uint64_t failed = 2;
    // On a 32-bit target the header would wrap the size around.
    if (sizeof(size_t) == 4) {
        EXPECT_EQ(mtrack_alloc(kFailId, 0, UINT32_MAX), nullptr);
        ++failed;
    }
    EXPECT_EQ(usage(kFailId, 0), (Counts{2, 32, 2, 32, 2, 0, failed}));
    mtrack_free(first);
    mtrack_free(second);
}

TEST(MtrackNames, ReRegistrationReplacesNamesAndKeepsCounts) {
    const char *const first[] = {"NONE", "ENTRY"};
    const char *const second[] = {"NONE", "ENTRY", "VLAN"};
    const char *const too_many[MTRACK_MAX_TYPES + 1] = {};
    ASSERT_TRUE(mtrack_init("Cache", kNamesId, first, 2));
    void *block = mtrack_alloc(kNamesId, 1, 4);
    ASSERT_TRUE(mtrack_init("Cache2", kNamesId, second, 3));
    EXPECT_FALSE(mtrack_init("Big", kNamesId, too_many, MTRACK_MAX_TYPES + 1));
    EXPECT_STREQ(mtrack_component_name(kNamesId), "Cache2");
    EXPECT_STREQ(mtrack_type_name(kNamesId, 2), "VLAN");
    EXPECT_EQ(mtrack_type_name(kNamesId, 3), nullptr);
    EXPECT_EQ(mtrack_component_name(kBase + 0x1000), nullptr);
    EXPECT_EQ(usage(kNamesId, 1)[0], 1u);
    mtrack_free(block);
}

TEST(MtrackOverflow, BlocksWithoutASlotAreServedAndCountedApart) {
    for (uint32_t id = kBase; id < kBase + MTRACK_MAX_IDS; ++id)
        ASSERT_TRUE(mtrack_init("filler", id, nullptr, 0));
    const uint32_t stray_id = kBase + MTRACK_MAX_IDS;
    EXPECT_FALSE(mtrack_init("stray", stray_id, nullptr, 0));
    Counts before = overflow();
    void *stray = mtrack_alloc(stray_id, 0, 32);
    void *odd_type = mtrack_alloc(kBase, MTRACK_MAX_TYPES, 16);
    ASSERT_TRUE(stray && odd_type);
    EXPECT_EQ(overflow()[0], before[0] + 2);
    EXPECT_EQ(overflow()[1], before[1] + 48);
    EXPECT_EQ(usage(stray_id, 0), Counts{});
    EXPECT_EQ(usage(kBase, MTRACK_MAX_TYPES), Counts{});
    mtrack_free(stray);
    mtrack_free(odd_type);
    EXPECT_EQ(overflow()[1], before[1]);
    EXPECT_EQ(overflow()[5], before[5] + 2);
}

} // namespace
