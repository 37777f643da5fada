// Memory tracker counts and names.
#include <array>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "mtrack.h"

namespace {

constexpr uint32_t kBase = 0x5100;

// Live blocks and bytes, peak blocks and bytes, allocations, frees, failures.
using Counts = std::array<uint64_t, 7>;

Counts usage(uint32_t id, uint32_t type) {
    mtrack_usage_t u;
    mtrack_get_usage(id, type, &u);
    return {u.live_blocks, u.live_bytes, u.peak_blocks,  u.peak_bytes,
            u.allocs,      u.frees,      u.failed_allocs};
}

// Counted per type; an armed failure fails exactly the next allocations.
TEST(Mtrack, CountsFollowAllocFreeAndArmedFailures) {
    void *a = mtrack_alloc(kBase, 1, 24);
    void *b = mtrack_alloc(kBase, 1, 40);
    void *c = mtrack_alloc(kBase, 2, 8);
    for (void *p : {a, b, c})
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    memset(b, 1, 40);
    mtrack_free(a);
    mtrack_free(nullptr);
    EXPECT_EQ(usage(kBase, 1), (Counts{1, 40, 2, 64, 2, 1, 0}));
    EXPECT_EQ(usage(kBase, 2), (Counts{1, 8, 1, 8, 1, 0, 0}));
    mtrack_fail_next(3);
    mtrack_fail_next(2); // replaces
    void *blocks[3];
    for (void *&block : blocks)
        block = mtrack_alloc(kBase, 3, 16);
    EXPECT_EQ(blocks[0] || blocks[1], false);
    EXPECT_EQ(usage(kBase, 3), (Counts{1, 16, 1, 16, 1, 0, 2}));
    // On a 32-bit target the header would wrap the size around.
    EXPECT_EQ(sizeof(size_t) == 4 ? mtrack_alloc(kBase, 4, UINT32_MAX) : nullptr, nullptr);
    for (void *block : {b, c, blocks[2]})
        mtrack_free(block);
}

TEST(Mtrack, ReRegistrationReplacesNamesAndKeepsCounts) {
    const char *const first[] = {"NONE", "ENTRY"};
    const char *const second[] = {"NONE", "ENTRY", "VLAN"};
    const char *const too_many[MTRACK_MAX_TYPES + 1] = {};
    ASSERT_TRUE(mtrack_init("Cache", kBase + 2, first, 2));
    void *block = mtrack_alloc(kBase + 2, 1, 4);
    ASSERT_TRUE(mtrack_init("Cache2", kBase + 2, second, 3));
    EXPECT_FALSE(mtrack_init("Big", kBase + 2, too_many, MTRACK_MAX_TYPES + 1));
    EXPECT_STREQ(mtrack_component_name(kBase + 2), "Cache2");
    EXPECT_STREQ(mtrack_type_name(kBase + 2, 2), "VLAN");
    EXPECT_EQ(mtrack_type_name(kBase + 2, 3), nullptr);
    EXPECT_EQ(usage(kBase + 2, 1)[0], 1u);
    mtrack_free(block);
}

} // namespace
