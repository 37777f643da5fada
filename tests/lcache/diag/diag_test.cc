// SPDX-License-Identifier: MIT
// The diagnostics, compared with golden text: one entry, the table walks,
// the global report (global_report.txt) and the dumps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>

#include "lcache_fixture.h"
#include "sim/numbering.h"

// Whether a walk of a null table may start is the hash-table service's
// choice.  This program's ht_iterator_init, which the library calls in
// place of the platform's, lets it start (as an empty walk) when asked, and
// otherwise hands the call on.
namespace {
bool g_service_walks_null_tables = false;
}

extern "C" uint32_t ht_iterator_init(ht_iterator_t *it, ht_table_t *table, uint32_t flags,
                                     uint32_t num_buckets) {
    if (g_service_walks_null_tables && !table) {
        *it = ht_iterator_t{};
        return 1;
    }
    using Init = uint32_t (*)(ht_iterator_t *, ht_table_t *, uint32_t, uint32_t);
    static const auto platform_init = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "ht_iterator_init"));
    return platform_init(it, table, flags, num_buckets);
}

namespace {

using lctest::TraceCapture;

std::string table_header(const ht_table_t &t, unsigned long size) {
    return lctest::text("Hash table 0x%p, size %lu, num_buckets %lu\n",
                        static_cast<const void *>(&t), size,
                        static_cast<unsigned long>(t.num_buckets));
}

std::string stats_line(ht_table_t &t) {
    ht_stats_t st;
    EXPECT_NE(ht_get_stats(&t, &st), 0u);
    return lctest::text("Size hwm: %lu, worst lookup: %lu, average lookup: %f\n",
                        static_cast<unsigned long>(st.size_hwm),
                        static_cast<unsigned long>(st.worst_lookup), st.avg_lookup);
}

// The global report as a printf sink shows it, every counter of the
// statistics block set to 10^12 plus its position in the block.
std::string golden_report() {
    std::ifstream in(LCACHE_DIAG_GOLDEN "/global_report.txt");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << "global_report.txt is missing";
    return text.str();
}

class DiagTest : public lctest::LcacheSimTest {
  protected:
    // Errors reach TraceCapture::error_print as "function:line: message\n".
    void init_reporting(uint32_t sync_mask) {
        lcache_attr a = attr_with(sync_mask);
        a.crit_mask = 0x11, a.med_mask = 0x22, a.low_mask = 0x33, a.once_mask = 0x44;
        a.error_print = TraceCapture::error_print;
        lcache_error_cb = 1;
        init(a);
        TraceCapture::clear();
        histsvc_clear(lctest::kHistId);
    }
};

TEST_F(DiagTest, AnEntryPrintsItsLinesAndSkipsTheConditionalOnes) {
    lcache_if_entry_t e{};
    e.if_index = 0x1000, e.iod = iod(model.add_mgmt(0)), e.if_type = 5, e.pi = 0x21, e.lif = 0x1001;
    e.encap = 3, e.ctx = 2, e.tid = 9, e.vlan = 30, e.mtu = 1500, e.ref_count = 2, e.valid = 0x5;
    e.extn = 0xabc, e.extn1 = 0x11, e.extn2 = 0x22, e.extn3 = 0x33, e.dirty = 0x40;
    e.extn_size = 4, e.extn1_size = 1, e.extn2_size = 2, e.extn3_size = 3, e.flags = 0xAA;
    e.flags2 = LCACHE_FLAG2_P2P, e.agg_if = 0x1a000005;
    memcpy(e.mac, "\x00\x11\x22\x33\x44\x55", 6);
    const std::string first = lctest::text("Entry (0x%p) mgmt0 - if_index: 0x1000(5), iod: %u\n",
                                           static_cast<void *>(&e), e.iod);
    const std::string mac = "MAC: 0011.2233.4455, encap 3, Ctx 2, Extn:0xabc(s4), Tid 9, Vlan 30\n";
    const std::string tail = "mtu:1500, sw-port 0, sw:1, linkup:0, protoup:1, eth:0, isvlan:1, "
                             "ips:0, null:1, lo:0 p2p:1\n"
                             "valid: 0x5, dirty: 0x40\n"
                             "agg_if: 0x1a000005, gre_hdr: 0x1a000005, ref_count: 2\n";
    init_reporting(LCACHE_ATTR_PI);
    lcache_if_entry_print(&e);
    EXPECT_EQ(TraceCapture::debug_text(), first + "PI 0x21, LIF 0x1001\n" + mac +
                                              "Extn1:0x11(s1), Extn2:0x22(s2), Extn3:0x33(s3)\n" +
                                              tail);
    // Line 2 follows the pi bit alone, line 4 extn1 alone; an entry prints
    // while the cache is disabled too.
    e.extn1 = 0;
    init_reporting(LCACHE_ATTR_LIF);
    lcache_if_entry_print(&e);
    lcache_disable_cache();
    lcache_if_entry_print(&e);
    lcache_if_entry_print(nullptr);
    EXPECT_EQ(TraceCapture::debug_text(), first + mac + tail + first + mac + tail);
}

// Each walk prints its heading, the table's header line and every entry;
// a table never created is refused by the hash-table service.
TEST_F(DiagTest, TheDumpsWalkEveryTableUnderItsHeading) {
    const sim::IfIndex port = model.add_ethernet(1, 1);
    model.add_vlan(10);
    model.add_vlan(20);
    model.set_primary_vlan(20, 10);
    init_reporting(lctest::kSyncAll);
    ASSERT_NE(lcache_find_entry_by_iod(iod(port)), nullptr);
    const lcache_vlan_entry_t *v = lcache_vlan_create_entry_by_vlan(20);
    TraceCapture::clear();
    lcache_if_print_iod(iod(port));
    const std::string entry = TraceCapture::debug_text();
    lcache_if_print_iod(iod(port) + 1);
    lcache_if_dump();
    EXPECT_EQ(TraceCapture::debug_text(),
              entry + "If table\n" + table_header(lcache.if_table, 1) + entry + "Iod table\n" +
                  table_header(lcache.iod_table, 1) + entry + "PI table\n" +
                  table_header(lcache.pi_table, 1) + entry + "LIF table\n" +
                  table_header(lcache.lif_table, 1) + entry);

    const std::string line =
        lctest::text("Entry (0x%p) - vlan: 20, pvlan: 10, FI 0x%x, BD 0x14\n",
                     static_cast<const void *>(v), sim::default_flood_index(20));
    TraceCapture::clear();
    lcache_vlan_print(20);
    lcache_vlan_print(21);
    lcache_vlan_entry_print(nullptr);
    lcache_vlan_dump();
    EXPECT_EQ(TraceCapture::debug_text(), line + "Vlan table\n" +
                                              table_header(lcache.vlan_table, 1) + line +
                                              stats_line(lcache.vlan_table));

    init_reporting(0);
    lcache_if_dump();
    lcache_vlan_dump();
    EXPECT_EQ(TraceCapture::debug_text(), "If table\n" + table_header(lcache.if_table, 0) +
                                              "Iod table\nPI table\nLIF table\nVlan table\n");
    std::string errors;
    for (const lctest::SinkCall &c : TraceCapture::error_print_calls)
        errors += std::regex_replace(c.text, std::regex(":[0-9]+: ([^\n]*)\n\n"), " $1, ");
    EXPECT_EQ(errors,
              "lcache_iod_print_table Couldn't init iterator, lcache_pi_print_table Couldn't "
              "init iterator, lcache_lif_print_table Couldn't init iterator, "
              "lcache_vlan_print_table Couldn't init iterator, lcache_print_stats Failed to "
              "get stats, ");
}

// A walk never reads through a null table: the header shows it empty when
// the service lets the walk start, the iterator error when it does not.
TEST_F(DiagTest, ANullTableIsNeverReadThrough) {
    init_reporting(lctest::kSyncAll);
    for (auto print : {lcache_if_print_table, lcache_iod_print_table, lcache_pi_print_table,
                       lcache_lif_print_table, lcache_vlan_print_table}) {
        g_service_walks_null_tables = true;
        TraceCapture::clear();
        print(nullptr);
        g_service_walks_null_tables = false;
        EXPECT_EQ(TraceCapture::debug_text(),
                  lctest::text("Hash table 0x%p, size %lu, num_buckets %lu\n", nullptr, 0ul, 0ul));
        lcache_print_str[0] = '\0';
        print(nullptr);
        EXPECT_THAT(std::string(lcache_print_str), testing::StrEq("Couldn't init iterator\n"));
    }
}

// The report is 130 traces, each an event-history record; the dump adds
// the statistics of each interface table.  While the cache is disabled
// only the report prints, with the sync mask it then has.
TEST_F(DiagTest, TheGlobalReportAndTheDump) {
    init_reporting(lctest::kSyncAll);
    // Distinct counters wider than 32 bits: a swapped or cut one shows.
    auto *counters = reinterpret_cast<uint64_t *>(&lcache.stats);
    std::iota(counters, counters + sizeof lcache.stats / sizeof *counters, uint64_t{1000000000000});
    const std::string report = golden_report();
    lcache_print_global();
    EXPECT_EQ(TraceCapture::debug_text(), report);
    EXPECT_EQ(TraceCapture::debug_print_calls.size(), 130u);
    EXPECT_EQ(lctest::history(lctest::kHistId).size(), 130u);

    TraceCapture::clear();
    lcache_dump();
    EXPECT_EQ(TraceCapture::debug_text(), report + "If table\n" + stats_line(lcache.if_table) +
                                              "Iod table\n" + stats_line(lcache.iod_table) +
                                              "PI table\n" + stats_line(lcache.pi_table) +
                                              "LIF table\n" + stats_line(lcache.lif_table));

    lcache_disable_cache();
    TraceCapture::clear();
    lcache_if_dump();
    lcache_if_print_iod(1);
    lcache_vlan_print(1);
    lcache_vlan_dump();
    lcache_print_stats(&lcache.if_table);
    lcache_dump();
    EXPECT_EQ(TraceCapture::debug_text(),
              std::regex_replace(report, std::regex("^sync 0xffffffff"), "sync 0x0"));
}

} // namespace
