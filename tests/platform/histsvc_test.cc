// Event-history rings: record contents, wrap-around and the identifier cap.
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "histsvc.h"

namespace {

constexpr uint32_t kRing = HISTSVC_RING_RECORDS;
constexpr auto log_event = histsvc_his_log_event_for_uuid_inst;

TEST(HistRecords, KeepFieldsAndCutLongData) {
    constexpr uint32_t uuid = 7;
    std::vector<uint8_t> big(HISTSVC_MAX_RECORD + 44);
    std::iota(big.begin(), big.end(), uint8_t{1});
    ASSERT_TRUE(log_event(uuid, 0x73, 2, 5, big.size(), big.data()));
    ASSERT_TRUE(log_event(uuid, 0x74, 1, 0, 0, nullptr));
    EXPECT_FALSE(log_event(uuid, 0x75, 1, 0, 4, nullptr));
    histsvc_record_t r;
    ASSERT_TRUE(histsvc_get(uuid, 0, &r));
    EXPECT_EQ(r.inst, 0x73u);
    EXPECT_EQ(r.level, 2u);
    EXPECT_EQ(r.flags, 5u);
    EXPECT_EQ(r.len, big.size());
    EXPECT_EQ(memcmp(r.data, big.data(), HISTSVC_MAX_RECORD), 0);
    ASSERT_TRUE(histsvc_get(uuid, 1, &r));
    EXPECT_EQ(r.inst, 0x74u);
    EXPECT_EQ(r.len, 0u);
    EXPECT_FALSE(histsvc_get(uuid, 2, &r));
    EXPECT_EQ(histsvc_count(uuid), 2u);
    histsvc_clear(uuid);
    EXPECT_EQ(histsvc_count(uuid), 0u);
    EXPECT_EQ(histsvc_total(uuid), 0u);
    EXPECT_FALSE(histsvc_get(uuid, 0, &r));
}

TEST(HistRecords, RingKeepsTheNewestAfterWrapping) {
    constexpr uint32_t uuid = 8, kExtra = 5;
    // A full ring of long records, then short ones into the oldest slots:
    // a reused slot must not show its previous record's tail.
    for (uint32_t seq = 0; seq < kRing + kExtra; ++seq) {
        uint8_t data[HISTSVC_MAX_RECORD];
        memset(data, 0xee, sizeof data);
        memcpy(data, &seq, sizeof seq);
        uint32_t len = seq < kRing ? sizeof data : sizeof seq;
        ASSERT_TRUE(log_event(uuid, seq, 0, 0, len, data));
    }
    EXPECT_EQ(histsvc_count(uuid), kRing);
    EXPECT_EQ(histsvc_total(uuid), kRing + kExtra);
    for (uint32_t index : {0u, 1u, kRing - kExtra - 1, kRing - kExtra, kRing - 1}) {
        SCOPED_TRACE(index);
        histsvc_record_t r;
        ASSERT_TRUE(histsvc_get(uuid, index, &r));
        uint32_t seq;
        memcpy(&seq, r.data, sizeof seq);
        EXPECT_EQ(r.inst, index + kExtra);
        EXPECT_EQ(seq, index + kExtra);
        EXPECT_EQ(r.data[sizeof seq], seq < kRing ? 0xee : 0);
    }
    histsvc_record_t r;
    EXPECT_FALSE(histsvc_get(uuid, kRing, &r));
    histsvc_clear(uuid);
}

TEST(HistIdentifiers, ANewOneBeyondTheCapIsRefusedUntilOneIsCleared) {
    constexpr uint32_t first = 1000, extra = first + HISTSVC_MAX_IDS;
    for (uint32_t uuid = first; uuid < extra; ++uuid)
        ASSERT_TRUE(log_event(uuid, 0, 0, 0, 0, nullptr));
    EXPECT_FALSE(log_event(extra, 0, 0, 0, 0, nullptr));
    EXPECT_TRUE(log_event(first, 0, 0, 0, 0, nullptr));
    EXPECT_EQ(histsvc_total(first), 2u);
    EXPECT_EQ(histsvc_count(extra), 0u);
    histsvc_clear(first);
    EXPECT_TRUE(log_event(extra, 0, 0, 0, 0, nullptr));
    for (uint32_t uuid = first; uuid <= extra; ++uuid)
        histsvc_clear(uuid);
}

} // namespace
