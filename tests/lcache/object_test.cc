// The cache object: init, cleanup, disable / restore, the trace settings,
// the memory-type table and the trace convention.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ht.h"
#include "lcache.h"
#include "lcache_fixture.h"
#include "mtrack.h"
#include "trace_capture.h"

// This program supplies its own interface manager name query: the one
// place a trace prints text long enough to be cut.
const std::string kLongName(300, 'n');
extern "C" const char *netif_get_if_name(uint32_t) { return kLongName.c_str(); }

namespace {

using lctest::TraceCapture;

constexpr uint32_t kHistId = 0x51;

lcache_attr base_attr(uint32_t sync_mask) {
    lcache_attr a{};
    a.sync_mask = sync_mask;
    a.ext_key[0] = kHistId;
    return a;
}

class ObjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TraceCapture::clear();
        histsvc_clear(kHistId);
        lcache_error_cb = 0;
    }
    void TearDown() override {
        for (int op = 0; op < HT_FAULT_OP_COUNT; ++op)
            ht_fault_inject(static_cast<ht_fault_op_t>(op), 0);
        lcache_cleanup();
        lcache_enabled = 0;
        lcache_error_cb = 0;
    }
};

TEST_F(ObjectTest, InitCopiesTheBlockAndAppliesItsDefaults) {
    lcache_attr a = base_attr(0);
    a.crit_mask = 0x11;
    a.once_mask = 0x22;
    a.create_on_miss = 0;
    a.l3_track = 1;
    ASSERT_EQ(lcache_init(&a), 1u);
    EXPECT_EQ(lcache_is_enabled(), 1u);
    EXPECT_EQ(lcache.attr.sync_mask, LCACHE_ATTR_IF_TYPE);
    EXPECT_EQ(lcache.attr.table_size, LCACHE_DEFAULT_TABLE_SIZE);
    EXPECT_EQ(lcache.attr.create_on_miss, 1u);
    EXPECT_EQ(lcache.attr.crit_mask, 0x11u);
    EXPECT_EQ(lcache.attr.once_mask, 0x22u);
    EXPECT_EQ(lcache.attr.l3_track, 1u);
    EXPECT_EQ(lcache.if_table.num_buckets, LCACHE_DEFAULT_TABLE_SIZE);

    a.table_size = 7;
    ASSERT_EQ(lcache_init(&a), 1u);
    EXPECT_EQ(lcache.if_table.num_buckets, 7u);
}

TEST_F(ObjectTest, SyncMaskSelectsTheTablesCreated) {
    struct Case {
        uint32_t sync;
        bool iod, pi, lif, vlan;
    };
    const Case cases[] = {
        {0, false, false, false, false},
        {LCACHE_ATTR_IOD, true, false, false, false},
        {LCACHE_ATTR_PI | LCACHE_ATTR_LIF, false, true, true, false},
        {LCACHE_ATTR_VLAN | LCACHE_ATTR_BD, false, false, false, true},
        {0xFFFFFFFF, true, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sync);
        lcache_attr a = base_attr(c.sync);
        a.table_size = 64;
        ASSERT_EQ(lcache_init(&a), 1u);
        EXPECT_EQ(lcache.if_table.num_buckets, 64u);
        EXPECT_EQ(lcache.iod_table.num_buckets, c.iod ? 64u : 0u);
        EXPECT_EQ(lcache.pi_table.num_buckets, c.pi ? 64u : 0u);
        EXPECT_EQ(lcache.lif_table.num_buckets, c.lif ? 64u : 0u);
        EXPECT_EQ(lcache.vlan_table.num_buckets, c.vlan ? 64u : 0u);
    }
}

TEST_F(ObjectTest, ATableThatCannotBeCreatedFailsInitAndKeepsTheEarlierOnes) {
    // Creation order is if, iod, pi, lif; the failing one is cleaned up,
    // the ones before it stay, the ones after it are never attempted.
    const uint32_t all = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF;
    ht_table_t lcache_t::*const order[] = {&lcache_t::if_table, &lcache_t::iod_table,
                                           &lcache_t::pi_table, &lcache_t::lif_table};
    for (uint32_t failing = 0; failing < 4; ++failing) {
        SCOPED_TRACE(failing);
        lcache_enabled = 0;
        histsvc_clear(kHistId);
        lcache_attr a = base_attr(all);
        a.table_size = 8;
        ht_fault_inject_after(HT_FAULT_INIT, failing, 1);
        EXPECT_EQ(lcache_init(&a), 0u);
        EXPECT_EQ(lcache_enabled, 0u);
        EXPECT_STREQ(lcache_print_str, "Couldn't initialize hash table\n");
        for (uint32_t t = 0; t < 4; ++t)
            EXPECT_EQ((lcache.*order[t]).num_buckets, t < failing ? 8u : 0u) << "table " << t;
        const auto records = lctest::history(kHistId);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].header, LCACHE_HIST_ERROR);
        EXPECT_EQ(records[0].level, 2u);
        lcache_cleanup();
    }
}

TEST_F(ObjectTest, InitWithoutABlockReportsAndFails) {
    EXPECT_EQ(lcache_init(nullptr), 0u);
    EXPECT_EQ(lcache_enabled, 0u);
    EXPECT_NE(lcache_print_str[0], '\0');
}

TEST_F(ObjectTest, DisableSavesTheMaskAndRestoreBringsItBack) {
    lcache_attr a = base_attr(LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP);
    ASSERT_EQ(lcache_init(&a), 1u);
    const uint32_t sync = lcache.attr.sync_mask;

    lcache_disable_cache();
    EXPECT_EQ(lcache_is_enabled(), 0u);
    EXPECT_EQ(lcache.attr.sync_mask, 0u);
    EXPECT_EQ(lcache_do_sync, sync);

    lcache_disable_cache(); // a second disable must not save the zeroed mask
    EXPECT_EQ(lcache_do_sync, sync);

    lcache_restore_cache();
    EXPECT_EQ(lcache_is_enabled(), 1u);
    EXPECT_EQ(lcache.attr.sync_mask, sync);

    lcache_do_sync = 0x1234;
    lcache_restore_cache(); // in service already: nothing to restore
    EXPECT_EQ(lcache.attr.sync_mask, sync);
}

TEST_F(ObjectTest, RestoreWithoutACacheStaysDisabled) {
    lcache_restore_cache(); // never initialised
    EXPECT_EQ(lcache_is_enabled(), 0u);

    lcache_attr a = base_attr(0);
    ASSERT_EQ(lcache_init(&a), 1u);
    lcache_disable_cache();
    lcache_cleanup();
    lcache_restore_cache();
    EXPECT_EQ(lcache_is_enabled(), 0u);
}

TEST_F(ObjectTest, PrintSettersRoundTripAndInitTakesTheBlocksValues) {
    lcache_print_fn fn = nullptr;
    uint32_t arg = 0;
    lcache_set_print(TraceCapture::debug_print, 7);
    lcache_attr_get_debug_print_arg(&fn, &arg);
    EXPECT_EQ(fn, &TraceCapture::debug_print);
    EXPECT_EQ(arg, 7u);

    lcache_attr_set_debug_print_arg(nullptr, 9);
    lcache_attr_get_debug_print_arg(&fn, &arg);
    EXPECT_EQ(fn, nullptr);
    EXPECT_EQ(arg, 9u);

    lcache_set_print(TraceCapture::debug_print, 7);
    lcache_attr a = base_attr(0);
    a.debug_print_arg = 3;
    ASSERT_EQ(lcache_init(&a), 1u);
    lcache_attr_get_debug_print_arg(&fn, &arg);
    EXPECT_EQ(fn, nullptr);
    EXPECT_EQ(arg, 3u);
}

TEST_F(ObjectTest, MemoryTypeLookups) {
    struct Row {
        uint32_t value;
        const char *name;
    };
    const Row rows[] = {{0, "LCACHE_MEM_NONE"},
                        {1, "LCACHE_MEM_lcache_if_entry_t"},
                        {2, "LCACHE_MEM_lcache_vlan_entry_t"},
                        {3, "LCACHE_MEM_MAX"}};
    for (const Row &r : rows) {
        EXPECT_STREQ(__lcache_mem_type_t_find(r.value), r.name);
        EXPECT_EQ(__lcache_mem_type_t_str2enum(r.name), r.value);
    }
    EXPECT_EQ(__lcache_mem_type_t_find(4), nullptr);
    EXPECT_EQ(__lcache_mem_type_t_str2enum("lcache_mem_lcache_if_entry_t"), 1u);
    EXPECT_EQ(__lcache_mem_type_t_str2enum("LCACHE_MEM_unknown"), 0u);
    EXPECT_EQ(__lcache_mem_type_t_str2enum(""), 0u);
}

TEST_F(ObjectTest, InitRegistersTheMemoryTypes) {
    lcache_attr a = base_attr(0);
    ASSERT_EQ(lcache_init(&a), 1u);
    EXPECT_STREQ(mtrack_component_name(LCACHE_MTRACK_ID), "Lcache");
    EXPECT_STREQ(mtrack_type_name(LCACHE_MTRACK_ID, 1), "LCACHE_MEM_lcache_if_entry_t");
    EXPECT_STREQ(mtrack_type_name(LCACHE_MTRACK_ID, 2), "LCACHE_MEM_lcache_vlan_entry_t");
}

TEST_F(ObjectTest, ErrorReportGoesToTheErrorSinkOnlyWhenEnabled) {
    // The report of a failing init is the error under test.
    struct Case {
        uint32_t error_cb;
        bool with_print, with_printf;
        size_t print_calls, printf_calls;
    };
    const Case cases[] = {
        {0, true, true, 0, 0},   {1, true, true, 1, 0}, {1, false, true, 0, 1},
        {1, false, false, 0, 0}, {2, true, true, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.error_cb << c.with_print << c.with_printf);
        TraceCapture::clear();
        histsvc_clear(kHistId);
        lcache_attr a = base_attr(0);
        a.error_print = c.with_print ? TraceCapture::error_print : nullptr;
        a.error_printf = c.with_printf ? TraceCapture::error_printf : nullptr;
        a.error_print_arg = 42;
        lcache_error_cb = c.error_cb;
        ht_fault_inject(HT_FAULT_INIT, 1);
        ASSERT_EQ(lcache_init(&a), 0u);

        ASSERT_EQ(TraceCapture::error_print_calls.size(), c.print_calls);
        ASSERT_EQ(TraceCapture::error_printf_calls.size(), c.printf_calls);
        if (c.print_calls) {
            const auto &call = TraceCapture::error_print_calls[0];
            EXPECT_EQ(call.arg, 42u);
            EXPECT_EQ(call.fmt, "%s:%d: %s\n");
            EXPECT_EQ(call.text.rfind("lcache_init:", 0), 0u) << call.text;
            EXPECT_NE(call.text.find(": Couldn't initialize hash table\n"), std::string::npos);
        }
        if (c.printf_calls) { // the caller's own format, not a pre-formatted "%s"
            EXPECT_EQ(TraceCapture::error_printf_calls[0].fmt, "Couldn't initialize hash table\n");
        }
        EXPECT_STREQ(lcache_print_str, "Couldn't initialize hash table\n");
        const auto records = lctest::history(kHistId);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].header, LCACHE_HIST_ERROR);
        EXPECT_EQ(records[0].level, 2u);
        EXPECT_EQ(records[0].inst, 0x730000u);
        EXPECT_EQ(records[0].text, ": Couldn't initialize hash table\n");
        EXPECT_EQ(records[0].len, 4 + records[0].text.size() + 1);
    }
}

TEST_F(ObjectTest, CleanupReleasesTablesAndReturnsOne) {
    lcache_attr a = base_attr(0xFFFFFFFF);
    a.table_size = 16;
    ASSERT_EQ(lcache_init(&a), 1u);
    EXPECT_EQ(lcache_cleanup(), 1u);
    EXPECT_EQ(lcache.if_table.num_buckets, 0u);
    EXPECT_EQ(lcache.iod_table.num_buckets, 0u);
    EXPECT_EQ(lcache.vlan_table.num_buckets, 0u);
    EXPECT_EQ(lcache_enabled, 1u) << "cleanup leaves the switch alone";
    EXPECT_EQ(lcache.attr.table_size, 16u) << "and the attribute block";
    EXPECT_EQ(lcache_cleanup(), 1u) << "a second cleanup is harmless";
}

TEST_F(ObjectTest, InfoTraceGoesToOneSinkAndAlwaysToTheHistory) {
    struct Case {
        bool with_print, with_printf;
        size_t print_calls, printf_calls;
    };
    const Case cases[] = {{true, true, 1, 0}, {false, true, 0, 1}, {false, false, 0, 0}};
    lcache_if_entry_t entry{};
    entry.if_index = 0x1a001000;
    entry.iod = 7;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.with_print << c.with_printf);
        TraceCapture::clear();
        histsvc_clear(kHistId);
        lcache_attr a = base_attr(0);
        a.debug_print = c.with_print ? TraceCapture::debug_print : nullptr;
        a.debug_printf = c.with_printf ? TraceCapture::debug_printf : nullptr;
        a.debug_print_arg = 9;
        ASSERT_EQ(lcache_init(&a), 1u);
        lcache_flush_if_entry(&entry, 2);

        const char *fmt = "Flushing cache for if-index=0x%x, iod=%d, opt=0x%x\n";
        const std::string text = "Flushing cache for if-index=0x1a001000, iod=7, opt=0x2\n";
        ASSERT_EQ(TraceCapture::debug_print_calls.size(), c.print_calls);
        ASSERT_EQ(TraceCapture::debug_printf_calls.size(), c.printf_calls);
        for (const auto *calls :
             {&TraceCapture::debug_print_calls, &TraceCapture::debug_printf_calls})
            for (const lctest::SinkCall &call : *calls) {
                EXPECT_EQ(call.fmt, fmt);
                EXPECT_EQ(call.text, text);
            }
        if (c.print_calls) {
            EXPECT_EQ(TraceCapture::debug_print_calls[0].arg, 9u);
        }
        const auto records = lctest::history(kHistId);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].header, LCACHE_HIST_INFO);
        EXPECT_EQ(records[0].level, 1u);
        EXPECT_EQ(records[0].inst, 0x730000u);
        EXPECT_EQ(records[0].text, ": " + text);
        EXPECT_EQ(records[0].len, 4 + 2 + text.size() + 1);
    }
}

TEST_F(ObjectTest, HistoryTextIsCutToTwoHundredBytesWithItsTerminator) {
    lcache_attr a = base_attr(LCACHE_ATTR_IOD);
    a.debug_print = TraceCapture::debug_print;
    ASSERT_EQ(lcache_init(&a), 1u);
    lcache_state_msg_t gone{};
    gone.iod = 3;
    gone.state = 2;
    EXPECT_EQ(lcache_update_phy_state(&gone), 0); // not cached: only the trace

    ASSERT_EQ(TraceCapture::debug_print_calls.size(), 1u);
    const std::string full = TraceCapture::debug_print_calls[0].text;
    EXPECT_EQ(full, "Interface " + kLongName + " (iod 3): entry 0x0, state 2\n");
    const auto records = lctest::history(kHistId);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, (": " + full).substr(0, 199));
    EXPECT_EQ(records[0].len, 204u);
}

// The process links the simulation's peer library ahead of liblcache, so
// the library's own calls of the nine names reach the simulation.
class PeerOverride : public lctest::LcacheSimTest {};

TEST_F(PeerOverride, TheSimulationAnswersTheLibrarysOwnCalls) {
    const sim::IfIndex port = model.add_ethernet(1, 1);
    init();
    uint32_t ifindex = 0;
    EXPECT_EQ(lcache_dmap_lib_si_to_ifidx(pi(port), &ifindex), 0u);
    EXPECT_EQ(ifindex, port);
    EXPECT_EQ(calls(sim::PeerFn::dmap_lib_si_to_ifidx), 1u);
    const lcache_if_entry_t *entry = lcache_if_create_entry_by_pi(pi(port));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->pi, pi(port)) << "the refresh's own index-mapper call was answered";
    EXPECT_EQ(entry->lif, lif(port)) << "and its LIF manager call";
}

} // namespace
