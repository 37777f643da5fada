// The diagnostics, compared with golden text built from the printed
// formats: one entry, the table walks, the global report and the dumps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lcache_fixture.h"

namespace {

using lctest::TraceCapture;
using testing::ElementsAre;

[[gnu::format(printf, 1, 2)]] std::string format(const char *fmt, ...) {
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return text;
}

std::string table_header(const ht_table_t &t, unsigned long size) {
    return format("Hash table 0x%p, size %lu, num_buckets %lu\n", static_cast<const void *>(&t),
                  size, static_cast<unsigned long>(t.num_buckets));
}

std::string stats_line(ht_table_t &t) {
    ht_stats_t st;
    EXPECT_NE(ht_get_stats(&t, &st), 0u);
    return format("Size hwm: %lu, worst lookup: %lu, average lookup: %f\n",
                  static_cast<unsigned long>(st.size_hwm),
                  static_cast<unsigned long>(st.worst_lookup), st.avg_lookup);
}

// The report as a printf sink shows it: each %llu takes the next value.
std::string global_report() {
    const lcache_attr &a = lcache.attr;
    const lcache_stats_t &s = lcache.stats;
    std::string text = "If Allocs:%llu,If Frees %llu,If Destroys %llu,Vlan Allocs %llu,Vlan Frees "
                       "%llu\n"
                       "If Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, %llu, %llu, %llu\n"
                       "Iod Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, %llu, %llu, %llu, "
                       "%llu\n"
                       "Pi Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, %llu, %llu, %llu, "
                       "%llu\n"
                       "Lif Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, %llu, %llu, %llu, "
                       "%llu\n"
                       "Updates: Phy:%llu, L2:%llu, L3:%llu, L3-p:%llu, L2-b:%llu, L3-b:%llu, "
                       "Agg:%llu\n"
                       "Updates: If:%llu, Iod:%llu, Pi:%llu, Lif:%llu\n";
    std::vector<uint64_t> values{
        s.if_allocs,   s.if_frees,         s.if_destroys,      s.vlan_allocs,     s.vlan_frees,
        s.if_inserts,  s.if_removes,       s.if_insert_fails,  s.if_remove_fails, s.iod_inserts,
        s.iod_removes, s.iod_insert_fails, s.iod_remove_fails, s.iod_remaps,      s.pi_inserts,
        s.pi_removes,  s.pi_insert_fails,  s.pi_remove_fails,  s.pi_remaps,       s.lif_inserts,
        s.lif_removes, s.lif_insert_fails, s.lif_remove_fails, s.lif_remaps,      s.upd_phy,
        s.upd_l2,      s.upd_l3,           s.upd_l3_param,     s.upd_l2_bundle,   s.upd_l3_bundle,
        s.upd_agg_fop, s.upd_if,           s.upd_iod,          s.upd_pi,          s.upd_lif};
    text += "\t\tHits\tMisses\tUpdates\n";
    // Attribute rows in printed order: the word padded to 8 characters
    // ("switch..." to 10), ":", a tab, then hits, misses and updates.
    const char *words[] = {"If-index", "Iod",        "Pi",        "Lif",    "mac",     "encap",
                           "ext",      "ext",        "ext",       "ext",    "context", "base_tid",
                           "mtu",      "switchport", "switching", "linkup", "protoup", "ethernet",
                           "loopback", "p2p",        "is_vlan",   "vlan",   "ips",     "null",
                           "agg_if",   "gre",        "subif",     "name",   "bd",      "FIndex",
                           "pvlan"};
    const int rows[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                        16, 17, 26, 27, 18, 19, 20, 21, 22, 23, 24, 25, 0,  1,  2};
    for (size_t i = 0; i < std::size(words); ++i) {
        const int width = strncmp(words[i], "switch", 6) == 0 ? 10 : 8;
        text += format("%-*s:\t%%llu\t%%llu\t%%llu\n", width, words[i]);
        const bool vlan = i >= 28;
        const int r = rows[i];
        values.insert(values.end(),
                      {vlan ? s.vlan_hits[r] : s.hits[r], vlan ? s.vlan_misses[r] : s.misses[r],
                       vlan ? s.vlan_updates[r] : s.updates[r]});
    }
    std::string out = format("sync 0x%x, crit:0x%x, med:0x%x, low:0x%x, once: 0x%x\n", a.sync_mask,
                             a.crit_mask, a.med_mask, a.low_mask, a.once_mask);
    size_t next = 0, at = 0;
    for (size_t hole; (hole = text.find("%llu", at)) != std::string::npos; at = hole + 4)
        out += text.substr(at, hole - at) + std::to_string(values.at(next++));
    EXPECT_EQ(next, values.size());
    out += text.substr(at);
    return out;
}

class DiagTest : public lctest::LcacheSimTest {
  protected:
    // Errors reach TraceCapture::error_print as "function:line: message\n".
    void init_reporting(uint32_t sync_mask) {
        lcache_attr a = attr_with(sync_mask);
        a.crit_mask = 0x11;
        a.med_mask = 0x22;
        a.low_mask = 0x33;
        a.once_mask = 0x44;
        a.error_print = TraceCapture::error_print;
        lcache_error_cb = 1;
        init(a);
        TraceCapture::clear();
        histsvc_clear(lctest::kHistId);
    }

    // "function message" of every error, in order.
    static std::vector<std::string> errors() {
        std::vector<std::string> out;
        for (const lctest::SinkCall &c : TraceCapture::error_print_calls)
            out.push_back(c.text.substr(0, c.text.find(':')) + " " +
                          c.text.substr(c.text.find(": ") + 2));
        return out;
    }
};

TEST_F(DiagTest, AnEntryPrintsItsLinesAndSkipsTheConditionalOnes) {
    const uint32_t mgmt_iod = iod(model.add_mgmt(0));
    lcache_if_entry_t e{.if_index = 0x1000,
                        .if_link = {},
                        .iod = mgmt_iod,
                        .iod_link = {},
                        .pi = 0x21,
                        .pi_link = {},
                        .lif = 0x1001,
                        .lif_link = {},
                        .mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                        .encap = 3,
                        .extn = 0xabc,
                        .extn1 = 0x11,
                        .extn2 = 0x22,
                        .extn3 = 0x33,
                        .extn_size = 4,
                        .extn1_size = 1,
                        .extn2_size = 2,
                        .extn3_size = 3,
                        .ctx = 2,
                        .tid = 9,
                        .vlan = 30,
                        .mtu = 1500,
                        .vlan_info = 0,
                        .flags = 0xAA,
                        .flags2 = LCACHE_FLAG2_P2P,
                        .valid = 0x5,
                        .dirty = 0x40,
                        .agg_if = 0x1a000005,
                        .if_type = 5,
                        .ref_count = 2,
                        .iod_remap_cnt = 0,
                        .pi_remap_cnt = 0,
                        .lif_remap_cnt = 0};
    const std::string first = format("Entry (0x%p) mgmt0 - if_index: 0x1000(5), iod: %u\n",
                                     static_cast<void *>(&e), mgmt_iod);
    const std::string mac = "MAC: 0011.2233.4455, encap 3, Ctx 2, Extn:0xabc(s4), Tid 9, Vlan 30\n";
    const std::string tail = "mtu:1500, sw-port 0, sw:1, linkup:0, protoup:1, eth:0, isvlan:1, "
                             "ips:0, null:1, lo:0 p2p:1\n"
                             "valid: 0x5, dirty: 0x40\n"
                             "agg_if: 0x1a000005, gre_hdr: 0x1a000005, ref_count: 2\n";
    init_reporting(LCACHE_ATTR_PI);
    lcache_if_entry_print(&e);
    std::vector<std::string> records;
    for (const lctest::HistEntry &h : lctest::history(lctest::kHistId))
        records.push_back(h.text);
    EXPECT_THAT(records,
                ElementsAre(": " + first, ": PI 0x21, LIF 0x1001\n", ": " + mac,
                            ": Extn1:0x11(s1), Extn2:0x22(s2), Extn3:0x33(s3)\n",
                            testing::StartsWith(": mtu:1500,"), ": valid: 0x5, dirty: 0x40\n",
                            testing::StartsWith(": agg_if:")));
    EXPECT_EQ(TraceCapture::debug_text(), first + "PI 0x21, LIF 0x1001\n" + mac +
                                              "Extn1:0x11(s1), Extn2:0x22(s2), Extn3:0x33(s3)\n" +
                                              tail);

    // Line 2 follows the pi bit alone, line 4 extn1 alone; an entry prints
    // while the cache is disabled too.
    e.extn1 = 0;
    e.extn2 = 7;
    init_reporting(LCACHE_ATTR_LIF);
    lcache_if_entry_print(&e);
    lcache_disable_cache();
    lcache_if_entry_print(&e);
    lcache_if_entry_print(nullptr);
    EXPECT_EQ(TraceCapture::debug_text(), first + mac + tail + first + mac + tail);
}

TEST_F(DiagTest, TheInterfaceDumpWalksEveryTableUnderItsHeading) {
    const sim::IfIndex port = model.add_ethernet(1, 1);
    init_reporting(lctest::kSyncAll);
    const lcache_if_entry_t *e = lcache_find_entry_by_iod(iod(port));
    ASSERT_NE(e, nullptr);
    TraceCapture::clear();
    lcache_if_print_iod(iod(port));
    const std::string entry = TraceCapture::debug_text();
    EXPECT_THAT(entry, testing::StartsWith(
                           format("Entry (0x%p) Ethernet1/1 - ", static_cast<const void *>(e))));

    TraceCapture::clear();
    lcache_if_print_iod(iod(port) + 1);
    lcache_if_dump();
    EXPECT_EQ(TraceCapture::debug_text(),
              "If table\n" + table_header(lcache.if_table, 1) + entry + "Iod table\n" +
                  table_header(lcache.iod_table, 1) + entry + "PI table\n" +
                  table_header(lcache.pi_table, 1) + entry + "LIF table\n" +
                  table_header(lcache.lif_table, 1) + entry);

    // Tables never created are refused by the hash-table service.
    init_reporting(0);
    lcache_if_dump();
    EXPECT_EQ(TraceCapture::debug_text(),
              "If table\n" + table_header(lcache.if_table, 0) + "Iod table\nPI table\nLIF table\n");
    EXPECT_THAT(errors(), ElementsAre("lcache_iod_print_table Couldn't init iterator\n\n",
                                      "lcache_pi_print_table Couldn't init iterator\n\n",
                                      "lcache_lif_print_table Couldn't init iterator\n\n"));
}

TEST_F(DiagTest, TheVlanPrintsShowOneLinePerEntry) {
    model.add_vlan(10);
    model.add_vlan(20);
    model.set_primary_vlan(20, 10);
    model.set_vlan_bd(20, 300);
    init_reporting(lctest::kSyncAll);
    const lcache_vlan_entry_t *v = lcache_vlan_create_entry_by_vlan(20);
    ASSERT_NE(v, nullptr);
    const std::string line = format("Entry (0x%p) - vlan: 20, pvlan: 10, FI 0x412c, BD 0x12c\n",
                                    static_cast<const void *>(v));
    TraceCapture::clear();
    lcache_vlan_print(20);
    lcache_vlan_print(21);
    lcache_vlan_entry_print(nullptr);
    EXPECT_EQ(TraceCapture::debug_text(), line);
    EXPECT_EQ(lcache.stats.vlan_allocs, 1u) << "printing creates nothing";

    TraceCapture::clear();
    lcache_vlan_dump();
    EXPECT_EQ(TraceCapture::debug_text(), "Vlan table\n" + table_header(lcache.vlan_table, 1) +
                                              line + stats_line(lcache.vlan_table));

    init_reporting(0);
    lcache_vlan_dump();
    EXPECT_EQ(TraceCapture::debug_text(), "Vlan table\n");
    EXPECT_THAT(errors(), ElementsAre("lcache_vlan_print_table Couldn't init iterator\n\n",
                                      "lcache_print_stats Failed to get stats\n\n"));
}

TEST_F(DiagTest, TheGlobalReportIs130FragmentsMakingUpItsLines) {
    init_reporting(0x8000040E);
    // Distinct counters wider than 32 bits: a swapped or cut one shows.
    std::array<uint64_t, sizeof(lcache_stats_t) / sizeof(uint64_t)> counters;
    for (size_t i = 0; i < counters.size(); ++i)
        counters[i] = (uint64_t{1} << 32) + i;
    memcpy(&lcache.stats, counters.data(), sizeof lcache.stats);

    lcache_print_global();
    EXPECT_EQ(TraceCapture::debug_text(), global_report());
    const std::vector<lctest::HistEntry> records = lctest::history(lctest::kHistId);
    const std::vector<lctest::SinkCall> &calls = TraceCapture::debug_print_calls;
    ASSERT_EQ(records.size(), 130u);
    ASSERT_EQ(calls.size(), 130u);
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(records[i].text, ": " + calls[i].text) << "fragment " << i;
    for (size_t i = 37; i < calls.size(); i += 3) {
        EXPECT_THAT(calls[i].fmt, testing::EndsWith(":\t%llu\t"));
        EXPECT_EQ(calls[i + 1].fmt, "%llu\t");
        EXPECT_EQ(calls[i + 2].fmt, "%llu\n");
    }
}

TEST_F(DiagTest, TheDumpAddsTheStatisticsOfEachInterfaceTable) {
    init_reporting(lctest::kSyncAll);
    lcache_dump();
    EXPECT_EQ(TraceCapture::debug_text(),
              global_report() + "If table\n" + stats_line(lcache.if_table) + "Iod table\n" +
                  stats_line(lcache.iod_table) + "PI table\n" + stats_line(lcache.pi_table) +
                  "LIF table\n" + stats_line(lcache.lif_table));

    init_reporting(0);
    lcache_dump();
    EXPECT_EQ(TraceCapture::debug_text(), global_report() + "If table\n" +
                                              stats_line(lcache.if_table) +
                                              "Iod table\nPI table\nLIF table\n");
    EXPECT_THAT(errors(), testing::Each("lcache_print_stats Failed to get stats\n\n"));
    EXPECT_EQ(errors().size(), 3u);
}

TEST_F(DiagTest, WhileDisabledOnlyTheGlobalReportAndSingleEntriesPrint) {
    const sim::IfIndex port = model.add_ethernet(1, 1);
    init_reporting(lctest::kSyncAll);
    ASSERT_NE(lcache_find_entry_by_iod(iod(port)), nullptr);
    ASSERT_NE(lcache_vlan_create_entry_by_vlan(1), nullptr);
    lcache_disable_cache();
    TraceCapture::clear();
    lcache_if_dump();
    lcache_if_print_iod(iod(port));
    lcache_vlan_print(1);
    lcache_vlan_dump();
    lcache_print_stats(&lcache.if_table);
    EXPECT_EQ(TraceCapture::debug_text(), "");
    lcache_dump();
    EXPECT_THAT(TraceCapture::debug_text(), testing::StartsWith("sync 0x0, crit:0x11, "));
    EXPECT_EQ(TraceCapture::debug_text(), global_report());

    lcache_restore_cache();
    TraceCapture::clear();
    lcache_print_global();
    EXPECT_THAT(TraceCapture::debug_text(), testing::StartsWith("sync 0xffffffff, "));
}

} // namespace
