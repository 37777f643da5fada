// SPDX-License-Identifier: MIT
// The platform services: memory tracker counts and names, event-history
// rings, bitsets and MAC text.
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "histsvc.h"
#include "mtrack.h"
#include "platform_util.h"

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

constexpr uint32_t kRing = HISTSVC_RING_RECORDS;
constexpr auto log_event = histsvc_his_log_event_for_uuid_inst;

// A record keeps its fields and the length given, its data cut to the
// record size; once the ring is full the newest stay, oldest first, and a
// reused slot does not show the tail of the record it held before.
TEST(Histsvc, RecordsKeepTheirFieldsAndTheRingTheNewest) {
    constexpr uint32_t uuid = 7, kExtra = 5;
    std::vector<uint8_t> big(HISTSVC_MAX_RECORD + 44);
    std::iota(big.begin(), big.end(), uint8_t{1});
    EXPECT_FALSE(log_event(uuid, 0x75, 1, 0, 4, nullptr));
    for (uint32_t seq = 0; seq < kRing + kExtra; ++seq) {
        memcpy(big.data(), &seq, sizeof seq);
        const uint32_t len = seq < kRing ? static_cast<uint32_t>(big.size()) : sizeof seq;
        ASSERT_TRUE(log_event(uuid, seq, 2, 5, len, big.data()));
    }
    EXPECT_EQ(histsvc_count(uuid), kRing);
    EXPECT_EQ(histsvc_total(uuid), kRing + kExtra);
    histsvc_record_t r;
    for (uint32_t index : {0u, kRing - kExtra - 1, kRing - kExtra, kRing - 1}) {
        ASSERT_TRUE(histsvc_get(uuid, index, &r));
        const uint32_t seq = index + kExtra;
        EXPECT_EQ((std::array{r.inst, r.level, r.flags}), (std::array{seq, 2u, 5u})) << index;
        EXPECT_EQ(r.len, seq < kRing ? big.size() : sizeof seq) << index;
        EXPECT_EQ(r.data[sizeof seq], seq < kRing ? big[sizeof seq] : 0) << index;
    }
    histsvc_clear(uuid);
    EXPECT_EQ(histsvc_count(uuid) + histsvc_total(uuid), 0u);
    // A ring not yet full starts at its first record.
    ASSERT_TRUE(log_event(uuid, 0x74, 1, 0, 0, nullptr));
    ASSERT_TRUE(histsvc_get(uuid, 0, &r));
    EXPECT_EQ(r.inst, 0x74u);
    EXPECT_FALSE(histsvc_get(uuid, 1, &r));
    histsvc_clear(uuid);
}

TEST(BitsetBits, SetAndTestAcrossWordBoundaries) {
    uint32_t words[3] = {};
    const std::set<uint32_t> set{0, 1, 31, 32, 63, 95};
    for (uint32_t bit : set)
        bitset_set_bit(words, bit);
    EXPECT_EQ((std::array{words[0], words[1], words[2]}),
              (std::array{0x80000003u, 0x80000001u, 0x80000000u}));
    for (uint32_t bit = 0; bit < 96; ++bit)
        EXPECT_EQ(bitset_is_bit_set(words, bit), set.contains(bit) ? 1u : 0u) << bit;
    bitset_set_bit(nullptr, 5);
    EXPECT_EQ(bitset_is_bit_set(nullptr, 5), 0u);
}

// Four rotating buffers: the fifth text takes the oldest buffer back.
TEST(ArpMacText, FormatsIntoFourRotatingBuffers) {
    const uint8_t macs[4][6] = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                                {0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
                                {0x0a, 0xb0, 0x0c, 0xd0, 0x01, 0x10},
                                {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01}};
    const char *texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = arp_print_macaddr(macs[i]);
    EXPECT_EQ(std::string(texts[0]) + texts[1] + texts[2] + texts[3],
              "0011.2233.4455ffff.ffff.ffff0ab0.0cd0.0110dead.beef.0001");
    EXPECT_EQ(arp_print_macaddr(nullptr), texts[0]);
    EXPECT_STREQ(texts[0], "0000.0000.0000");
}

} // namespace
