// SPDX-License-Identifier: MIT
// The cache object: init, cleanup, disable / restore, the trace settings,
// the memory-type table and the trace convention.
#include <string>

#include <gmock/gmock.h>

#include "lcache_fixture.h"

// This program supplies its own interface manager name query: the one
// place a trace prints text long enough to be cut.
const std::string kLongName(300, 'n');
extern "C" const char *netif_get_if_name(uint32_t) { return kLongName.c_str(); }

namespace lctest {

using ObjectTest = LcacheSimTest;

namespace {

// The event history holds one record: ": " and `text`, cut to `kept`
// bytes, at `level` under `header`, with the instance's id and a length
// that counts the 4-byte prefix and the terminator.
void expect_one_record(uint32_t header, uint32_t level, const std::string &text,
                       size_t kept = std::string::npos) {
    const auto records = history(kHistId);
    ASSERT_EQ(records.size(), 1u);
    const HistEntry &r = records[0];
    const std::string stored = (": " + text).substr(0, kept);
    EXPECT_EQ(std::tuple(r.header, r.level, r.inst, r.text, r.len),
              std::tuple(header, level, 0x730000u, stored, 4 + stored.size() + 1));
}

} // namespace

// The block is copied with create_on_miss forced on, the if-type bit added
// and a table size of 0 meaning the default; sync_mask selects the tables.
// Cleanup releases the tables but leaves the switch and the block alone.
TEST_F(ObjectTest, InitCopiesTheBlockAndSyncMaskSelectsTheTables) {
    lcache_attr a = attr_with(0);
    std::tie(a.crit_mask, a.once_mask, a.create_on_miss, a.l3_track, a.table_size) =
        std::tuple(0x11, 0x22, 0, 1, 0);
    init(a);
    EXPECT_EQ(std::tuple(lcache_is_enabled(), lcache.attr.sync_mask, lcache.attr.create_on_miss,
                         lcache.attr.crit_mask, lcache.attr.once_mask, lcache.attr.l3_track),
              std::tuple(1u, LCACHE_ATTR_IF_TYPE, 1u, 0x11u, 0x22u, 1u));
    EXPECT_EQ(std::tuple(lcache.attr.table_size, lcache.if_table.num_buckets),
              std::tuple(LCACHE_DEFAULT_TABLE_SIZE, LCACHE_DEFAULT_TABLE_SIZE));
    EXPECT_STREQ(mtrack_component_name(LCACHE_MTRACK_ID), "Lcache");
    EXPECT_STREQ(mtrack_type_name(LCACHE_MTRACK_ID, 1), "LCACHE_MEM_lcache_if_entry_t");
    EXPECT_STREQ(mtrack_type_name(LCACHE_MTRACK_ID, 2), "LCACHE_MEM_lcache_vlan_entry_t");

    for (auto [sync, iod, pi, lif, vlan] : {std::tuple{0u, 0u, 0u, 0u, 0u},
                                            {LCACHE_ATTR_IOD, 64u, 0u, 0u, 0u},
                                            {LCACHE_ATTR_PI, 0u, 64u, 0u, 0u},
                                            {LCACHE_ATTR_LIF, 0u, 0u, 64u, 0u},
                                            {LCACHE_ATTR_VLAN | LCACHE_ATTR_BD, 0u, 0u, 0u, 64u},
                                            {kSyncAll, 64u, 64u, 64u, 64u}}) {
        init(sync);
        EXPECT_EQ(std::tuple(lcache.if_table.num_buckets, lcache.iod_table.num_buckets,
                             lcache.pi_table.num_buckets, lcache.lif_table.num_buckets,
                             lcache.vlan_table.num_buckets),
                  std::tuple(64u, iod, pi, lif, vlan))
            << sync;
    }
    EXPECT_EQ(lcache_cleanup(), 1u);
    EXPECT_EQ(std::tuple(lcache.if_table.num_buckets, lcache.iod_table.num_buckets,
                         lcache.vlan_table.num_buckets, lcache_enabled, lcache.attr.table_size),
              std::tuple(0u, 0u, 0u, 1u, 64u));
    EXPECT_EQ(lcache_cleanup(), 1u) << "a second cleanup is harmless";
}

// Disable saves the mask (once), restore brings it back, but only to a
// cache that has its tables.
TEST_F(ObjectTest, DisableSavesTheMaskAndRestoreBringsItBack) {
    lcache_restore_cache(); // never initialised
    EXPECT_EQ(lcache_is_enabled(), 0u);
    init(LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP);
    const uint32_t sync = lcache.attr.sync_mask;
    lcache_disable_cache();
    lcache_disable_cache(); // must not save the zeroed mask
    EXPECT_EQ(std::tuple(lcache_is_enabled(), lcache.attr.sync_mask, lcache_do_sync),
              std::tuple(0u, 0u, sync));
    lcache_restore_cache();
    EXPECT_EQ(std::tuple(lcache_is_enabled(), lcache.attr.sync_mask), std::tuple(1u, sync));
    lcache_do_sync = 0x1234;
    lcache_restore_cache(); // in service already: nothing to restore
    EXPECT_EQ(lcache.attr.sync_mask, sync);
    lcache_disable_cache();
    lcache_cleanup();
    lcache_restore_cache();
    EXPECT_EQ(lcache_is_enabled(), 0u);
}

// A NULL output of the getter is skipped, the other still written; a NULL
// name is in no row.
TEST_F(ObjectTest, PrintSettersAndMemoryTypeNames) {
    lcache_print_fn fn = nullptr;
    uint32_t arg = 0;
    lcache_set_print(TraceCapture::debug_print, 7);
    lcache_attr_get_debug_print_arg(&fn, nullptr);
    lcache_attr_get_debug_print_arg(nullptr, &arg);
    lcache_attr_get_debug_print_arg(nullptr, nullptr);
    EXPECT_EQ(std::tuple(fn, arg), std::tuple(&TraceCapture::debug_print, 7u));
    lcache_attr_set_debug_print_arg(nullptr, 9);
    lcache_attr_get_debug_print_arg(&fn, &arg);
    EXPECT_EQ(std::tuple(fn, arg), std::tuple(nullptr, 9u));

    const char *names[] = {"LCACHE_MEM_NONE", "LCACHE_MEM_lcache_if_entry_t",
                           "LCACHE_MEM_lcache_vlan_entry_t", "LCACHE_MEM_MAX"};
    for (uint32_t value = 0; value < 4; ++value) {
        EXPECT_STREQ(__lcache_mem_type_t_find(value), names[value]);
        EXPECT_EQ(__lcache_mem_type_t_str2enum(names[value]), value);
    }
    EXPECT_EQ(__lcache_mem_type_t_find(4), nullptr);
    EXPECT_EQ(std::tuple(__lcache_mem_type_t_str2enum("lcache_mem_lcache_if_entry_t"),
                         __lcache_mem_type_t_str2enum("LCACHE_MEM_unknown"),
                         __lcache_mem_type_t_str2enum(""), __lcache_mem_type_t_str2enum(nullptr)),
              std::tuple(1u, 0u, 0u, 0u));
}

// A table that cannot be created fails init and reports it: creation order
// is if, iod, pi, lif; the ones before the failing one stay.  The report
// reaches error_print (preferred) or error_printf only with error_cb 1,
// lcache_print_str and the event history always.
TEST_F(ObjectTest, AFailedInitReportsThroughTheErrorSinks) {
    EXPECT_EQ(lcache_init(nullptr), 0u);
    EXPECT_NE(lcache_print_str[0], '\0');
    ht_table_t lcache_t::*const order[] = {&lcache_t::if_table, &lcache_t::iod_table,
                                           &lcache_t::pi_table, &lcache_t::lif_table};
    const std::string report = "Couldn't initialize hash table\n";
    for (auto [failing, error_cb, with_print, with_printf, print_calls, printf_calls] :
         {std::tuple{0u, 0u, true, true, 0u, 0u},
          {1u, 1u, true, true, 1u, 0u},
          {2u, 1u, false, true, 0u, 1u},
          {3u, 1u, false, false, 0u, 0u},
          {0u, 2u, true, true, 0u, 0u}}) {
        SCOPED_TRACE(testing::Message() << failing << error_cb << with_print << with_printf);
        forget_reports();
        lcache_attr a = attr_with(LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF);
        a.error_print = with_print ? TraceCapture::error_print : nullptr;
        a.error_printf = with_printf ? TraceCapture::error_printf : nullptr;
        a.error_print_arg = 42;
        lcache_error_cb = error_cb;
        ht_fault_inject_after(HT_FAULT_INIT, failing, 1);
        EXPECT_EQ(lcache_init(&a), 0u);
        EXPECT_EQ(lcache_enabled, 0u);
        for (uint32_t t = 0; t < 4; ++t)
            EXPECT_EQ((lcache.*order[t]).num_buckets, t < failing ? 64u : 0u) << "table " << t;
        ASSERT_EQ(std::tuple(TraceCapture::error_print_calls.size(),
                             TraceCapture::error_printf_calls.size()),
                  std::tuple(print_calls, printf_calls));
        if (print_calls) {
            const SinkCall &call = TraceCapture::error_print_calls[0];
            EXPECT_EQ(std::tuple(call.arg, call.fmt), std::tuple(42u, "%s:%d: %s\n"));
            EXPECT_THAT(call.text, testing::MatchesRegex("lcache_init:[0-9]+: " + report + "\n"));
        }
        if (printf_calls) { // the caller's own format, not a pre-formatted "%s"
            EXPECT_EQ(TraceCapture::error_printf_calls[0].fmt, report);
        }
        EXPECT_EQ(lcache_print_str, report);
        expect_one_record(LCACHE_HIST_ERROR, 2u, report);
    }
}

// An info trace goes to debug_print (preferred) or debug_printf with the
// library's own format, and always to the history, whose text is cut to
// 200 bytes with its terminator.
TEST_F(ObjectTest, InfoTraceGoesToOneSinkAndAlwaysToTheHistory) {
    lcache_if_entry_t entry{};
    std::tie(entry.if_index, entry.iod) = std::tuple(0x1a001000, 7);
    const std::string fmt = "Flushing cache for if-index=0x%x, iod=%d, opt=0x%x\n";
    const std::string text = "Flushing cache for if-index=0x1a001000, iod=7, opt=0x2\n";
    for (auto [with_print, with_printf, print_calls, printf_calls] :
         {std::tuple{true, true, 1u, 0u}, {false, true, 0u, 1u}, {false, false, 0u, 0u}}) {
        SCOPED_TRACE(testing::Message() << with_print << with_printf);
        lcache_attr a = attr_with(0);
        a.debug_print = with_print ? TraceCapture::debug_print : nullptr;
        a.debug_printf = with_printf ? TraceCapture::debug_printf : nullptr;
        a.debug_print_arg = 9;
        init(a);
        forget_reports();
        lcache_flush_if_entry(&entry, 2);
        ASSERT_EQ(std::tuple(TraceCapture::debug_print_calls.size(),
                             TraceCapture::debug_printf_calls.size()),
                  std::tuple(print_calls, printf_calls));
        for (const auto *calls :
             {&TraceCapture::debug_print_calls, &TraceCapture::debug_printf_calls})
            for (const SinkCall &call : *calls)
                EXPECT_EQ(std::tuple(call.fmt, call.text, call.arg),
                          std::tuple(fmt, text, with_print ? 9u : 0u));
        expect_one_record(LCACHE_HIST_INFO, 1u, text);
    }

    init(LCACHE_ATTR_IOD);
    forget_reports();
    lcache_state_msg_t gone{};
    std::tie(gone.iod, gone.state) = std::tuple(3, 2);
    EXPECT_EQ(lcache_update_phy_state(&gone), 0); // not cached: only the trace
    const std::string full = "Interface " + kLongName + " (iod 3): entry 0x0, state 2\n";
    EXPECT_EQ(traces(), Texts{full});
    expect_one_record(LCACHE_HIST_INFO, 1u, full, 199);
}

} // namespace lctest
