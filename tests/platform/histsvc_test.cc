// Event-history rings: record contents and wrap-around.
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "histsvc.h"

namespace {

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

} // namespace
