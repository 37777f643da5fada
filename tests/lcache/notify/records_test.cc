// How the change records are read: the listed fields only, at any
// alignment, the first-operational-member record in network byte order,
// and the iod an L3 record learns.
#include <cstring>
#include <vector>

#include "notify_fixture.h"
#include "sim/status.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define LCTEST_POISON(addr, size) ASAN_POISON_MEMORY_REGION(addr, size)
#define LCTEST_UNPOISON(addr, size) ASAN_UNPOISON_MEMORY_REGION(addr, size)
#else
#define LCTEST_POISON(addr, size) static_cast<void>(0)
#define LCTEST_UNPOISON(addr, size) static_cast<void>(0)
#endif

namespace lctest {
namespace {

using NotifyRecords = NotifyTest;

struct ByteRange {
    size_t begin, end;
};

struct Reader {
    const char *name;
    std::vector<unsigned char> record;
    std::vector<ByteRange> read; // the bytes the update may read
    int32_t (*update)(void *record);
    int32_t result;
};

template <class Record> std::vector<unsigned char> bytes_of(const Record &r) {
    std::vector<unsigned char> bytes(sizeof r);
    memcpy(bytes.data(), &r, sizeof r);
    return bytes;
}

bool is_read(const Reader &r, size_t offset) {
    for (const ByteRange &range : r.read)
        if (offset >= range.begin && offset < range.end)
            return true;
    return false;
}

// Every update is run on its record at each misalignment.  Under
// AddressSanitizer each byte the update must not read is in turn placed at
// the end of an 8-byte granule and poisoned, so reading it stops the test.
TEST_F(NotifyRecords, UpdatesReadOnlyTheListedFieldsAtAnyAlignment) {
    init();
    warm(eth2);
    warm(po1);
    using StateMsg = lcache_state_msg_t;
    const std::vector<ByteRange> l2_fields = {{4, 9}, {14, 15}, {16, 22}, {24, 28}, {36, 44}};
    std::vector<ByteRange> l2_with_ifindex = l2_fields;
    l2_with_ifindex.push_back({0, 4});
    const Reader readers[] = {
        {"phy",
         bytes_of(state_record(eth2, 1)),
         {{4, 9}},
         [](void *r) { return lcache_update_phy_state(static_cast<StateMsg *>(r)); },
         1},
        {"l3 param",
         bytes_of(state_record(eth2, 1)),
         {{4, 8}},
         [](void *r) { return lcache_update_l3_param(static_cast<StateMsg *>(r), nullptr); },
         1},
        {"l2", bytes_of(l2_record(eth2)), l2_with_ifindex,
         [](void *r) { return lcache_update_l2_state(static_cast<lcache_l2_msg_t *>(r)); }, 0},
        {"l2 bundle", bytes_of(l2_record(eth2)), l2_fields,
         [](void *r) { return lcache_update_l2_bundle_state(static_cast<lcache_l2_msg_t *>(r)); },
         1},
        {"l3",
         bytes_of(l3_record(eth2, 1)),
         {{0, 9}, {12, 16}},
         [](void *r) { return lcache_update_l3_state(static_cast<lcache_l3_msg_t *>(r)); },
         0},
        {"l3 bundle",
         bytes_of(l3_record(eth2, 1)),
         {{4, 9}, {12, 16}},
         [](void *r) { return lcache_update_l3_bundle_state(static_cast<lcache_l3_msg_t *>(r)); },
         1},
        {"agg fop",
         bytes_of(fop_record(po1, eth3, eth4)),
         {{0, 4}, {8, 16}},
         [](void *r) { return lcache_update_agg_fop(static_cast<lcache_agg_fop_msg_t *>(r)); },
         1},
    };
    alignas(8) unsigned char buffer[64];
    for (const Reader &r : readers) {
        SCOPED_TRACE(r.name);
        for (size_t shift = 0; shift < 8; ++shift) {
            memcpy(buffer + shift, r.record.data(), r.record.size());
            EXPECT_EQ(r.update(buffer + shift), r.result) << "at offset " << shift;
        }
        for (size_t offset = 0; offset < r.record.size(); ++offset) {
            if (is_read(r, offset))
                continue;
            unsigned char *record = buffer + 7 - offset % 8;
            memcpy(record, r.record.data(), r.record.size());
            LCTEST_POISON(record + offset, 1);
            EXPECT_EQ(r.update(record), r.result) << "byte " << offset << " unread";
            LCTEST_UNPOISON(record + offset, 1);
        }
    }
}

TEST_F(NotifyRecords, FirstOperationalMemberRecordIsBigEndian) {
    init();
    unsigned char raw[16] = {};
    const auto put = [&](size_t offset, uint32_t value) {
        for (size_t i = 0; i < 4; ++i)
            raw[offset + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
    };
    put(0, po1);
    put(12, eth3);
    lcache_agg_fop_msg_t msg;
    memcpy(&msg, raw, sizeof msg);
    EXPECT_EQ(lcache_update_agg_fop(&msg), 1);
    ASSERT_NE(cached(po1), nullptr);
    EXPECT_EQ(cached(po1)->agg_if, eth3);
    ASSERT_FALSE(TraceCapture::debug_print_calls.empty());
    EXPECT_EQ(TraceCapture::debug_print_calls[0].text,
              "AGG First-Op-member for interface port-channel1 (if 0x" + hex(po1) +
                  ") From 0x0 to 0x" + hex(eth3) + "\n");

    const lcache_agg_fop_msg_t encoded = fop_record(po1, 0, eth3);
    EXPECT_EQ(memcmp(&encoded, raw, sizeof raw), 0);
}

TEST_F(NotifyRecords, L3StateWritesTheIodItLooksUpIntoTheCallersRecord) {
    init();
    warm(svi);
    lcache_l3_msg_t msg = l3_record(svi, 1);
    msg.iod = 0;
    EXPECT_EQ(lcache_update_l3_state(&msg), 0);
    EXPECT_EQ(msg.iod, iod(svi));
    EXPECT_EQ(lcache.stats.upd_l3, 1u);

    sim::inject_fault(sim::PeerFn::netif_get_iod_frm_ifindex,
                      sim::Fault{sim::FaultKind::status, 0x1234, 1});
    msg.iod = 0;
    EXPECT_EQ(lcache_update_l3_state(&msg), 0x1234);
    EXPECT_EQ(msg.iod, 0u);
    EXPECT_EQ(lcache.stats.upd_l3, 1u);
    EXPECT_STREQ(lcache_print_str,
                 ("netif_get_iod_frm_ifindex failed for if-index 0x" + hex(svi) + ", err: 0x1234\n")
                     .c_str());
}

} // namespace
} // namespace lctest
