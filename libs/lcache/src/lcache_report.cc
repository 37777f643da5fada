// SPDX-License-Identifier: MIT
// The global report (masks, counters, per-attribute hits / misses /
// updates), the hash-table statistics and the two dumps.  Each format is
// one trace: a sink that writes fragments one after the other shows the
// report's lines, while the event history gets a record per fragment.
#include <iterator>

#include "lcache_internal.h"
#include "lcache_tables.h"
#include "lcache_vlan_internal.h"

namespace lc {

namespace {

using Counter = uint64_t lcache_stats_t::*;

struct CounterFragment {
    const char *fmt;
    Counter counter;
};

// Fragments 2 to 36 of the report, after the masks line.  The if line has
// no remap column although its heading names one.
constexpr CounterFragment kCounterFragments[] = {
    {"If Allocs:%llu,", &lcache_stats_t::if_allocs},
    {"If Frees %llu,", &lcache_stats_t::if_frees},
    {"If Destroys %llu,", &lcache_stats_t::if_destroys},
    {"Vlan Allocs %llu,", &lcache_stats_t::vlan_allocs},
    {"Vlan Frees %llu\n", &lcache_stats_t::vlan_frees},
    {"If Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, ", &lcache_stats_t::if_inserts},
    {"%llu, ", &lcache_stats_t::if_removes},
    {"%llu, ", &lcache_stats_t::if_insert_fails},
    {"%llu\n", &lcache_stats_t::if_remove_fails},
    {"Iod Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, ", &lcache_stats_t::iod_inserts},
    {"%llu, ", &lcache_stats_t::iod_removes},
    {"%llu, ", &lcache_stats_t::iod_insert_fails},
    {"%llu, ", &lcache_stats_t::iod_remove_fails},
    {"%llu\n", &lcache_stats_t::iod_remaps},
    {"Pi Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, ", &lcache_stats_t::pi_inserts},
    {"%llu, ", &lcache_stats_t::pi_removes},
    {"%llu, ", &lcache_stats_t::pi_insert_fails},
    {"%llu, ", &lcache_stats_t::pi_remove_fails},
    {"%llu\n", &lcache_stats_t::pi_remaps},
    {"Lif Inserts/Removes/Insert-fail/Remove-fail/Remaps %llu, ", &lcache_stats_t::lif_inserts},
    {"%llu, ", &lcache_stats_t::lif_removes},
    {"%llu, ", &lcache_stats_t::lif_insert_fails},
    {"%llu, ", &lcache_stats_t::lif_remove_fails},
    {"%llu\n", &lcache_stats_t::lif_remaps},
    {"Updates: Phy:%llu, ", &lcache_stats_t::upd_phy},
    {"L2:%llu, ", &lcache_stats_t::upd_l2},
    {"L3:%llu, ", &lcache_stats_t::upd_l3},
    {"L3-p:%llu, ", &lcache_stats_t::upd_l3_param},
    {"L2-b:%llu, ", &lcache_stats_t::upd_l2_bundle},
    {"L3-b:%llu, ", &lcache_stats_t::upd_l3_bundle},
    {"Agg:%llu\n", &lcache_stats_t::upd_agg_fop},
    {"Updates: If:%llu, ", &lcache_stats_t::upd_if},
    {"Iod:%llu, ", &lcache_stats_t::upd_iod},
    {"Pi:%llu, ", &lcache_stats_t::upd_pi},
    {"Lif:%llu\n", &lcache_stats_t::upd_lif},
};

// One row of the attribute table: an interface row or a VLAN row.
struct AttrRow {
    const char *label_fmt;
    bool vlan;
    unsigned row;
};

// Printed order, which is not the row order: loopback and p2p follow
// ethernet.  The passthrough row is never printed.
constexpr AttrRow kAttrRows[] = {
    {"If-index:\t%llu\t", false, LCACHE_STAT_IF_INDEX},
    {"Iod     :\t%llu\t", false, LCACHE_STAT_IOD},
    {"Pi      :\t%llu\t", false, LCACHE_STAT_PI},
    {"Lif     :\t%llu\t", false, LCACHE_STAT_LIF},
    {"mac     :\t%llu\t", false, LCACHE_STAT_MAC},
    {"encap   :\t%llu\t", false, LCACHE_STAT_ENCAP},
    {"ext     :\t%llu\t", false, LCACHE_STAT_EXT},
    {"ext     :\t%llu\t", false, LCACHE_STAT_EXT1},
    {"ext     :\t%llu\t", false, LCACHE_STAT_EXT2},
    {"ext     :\t%llu\t", false, LCACHE_STAT_EXT3},
    {"context :\t%llu\t", false, LCACHE_STAT_CONTEXT},
    {"base_tid:\t%llu\t", false, LCACHE_STAT_BASE_TID},
    {"mtu     :\t%llu\t", false, LCACHE_STAT_MTU},
    {"switchport:\t%llu\t", false, LCACHE_STAT_SWITCHPORT},
    {"switching :\t%llu\t", false, LCACHE_STAT_SWITCHING},
    {"linkup  :\t%llu\t", false, LCACHE_STAT_LINKUP},
    {"protoup :\t%llu\t", false, LCACHE_STAT_PROTOUP},
    {"ethernet:\t%llu\t", false, LCACHE_STAT_ETHERNET},
    {"loopback:\t%llu\t", false, LCACHE_STAT_LOOPBACK},
    {"p2p     :\t%llu\t", false, LCACHE_STAT_P2P},
    {"is_vlan :\t%llu\t", false, LCACHE_STAT_IS_VLAN},
    {"vlan    :\t%llu\t", false, LCACHE_STAT_VLAN},
    {"ips     :\t%llu\t", false, LCACHE_STAT_IPS},
    {"null    :\t%llu\t", false, LCACHE_STAT_NULL},
    {"agg_if  :\t%llu\t", false, LCACHE_STAT_AGG_IF},
    {"gre     :\t%llu\t", false, LCACHE_STAT_GRE},
    {"subif   :\t%llu\t", false, LCACHE_STAT_SUBIF},
    {"name    :\t%llu\t", false, LCACHE_STAT_NAME},
    {"bd      :\t%llu\t", true, LCACHE_VLAN_STAT_BD},
    {"FIndex  :\t%llu\t", true, LCACHE_VLAN_STAT_FINDEX},
    {"pvlan   :\t%llu\t", true, LCACHE_VLAN_STAT_PVLAN},
};
static_assert(std::size(kCounterFragments) == 35 && std::size(kAttrRows) == 31);

using ull = unsigned long long;

void print_attr_row(const AttrRow &r) {
    const lcache_stats_t &s = lcache.stats;
    const uint64_t hits = r.vlan ? s.vlan_hits[r.row] : s.hits[r.row];
    const uint64_t misses = r.vlan ? s.vlan_misses[r.row] : s.misses[r.row];
    const uint64_t updates = r.vlan ? s.vlan_updates[r.row] : s.updates[r.row];
    trace(r.label_fmt, static_cast<ull>(hits));
    LC_TRACE("%llu\t", static_cast<ull>(misses));
    LC_TRACE("%llu\n", static_cast<ull>(updates));
}

void print_global() {
    const lcache_attr &a = lcache.attr;
    LC_TRACE("sync 0x%x, crit:0x%x, med:0x%x, low:0x%x, once: 0x%x\n", a.sync_mask, a.crit_mask,
             a.med_mask, a.low_mask, a.once_mask);
    for (const CounterFragment &f : kCounterFragments)
        trace(f.fmt, static_cast<ull>(lcache.stats.*f.counter));
    LC_TRACE("\t\tHits\tMisses\tUpdates\n");
    for (const AttrRow &r : kAttrRows)
        print_attr_row(r);
}

void print_stats(ht_table_t *table) {
    if (!lcache_enabled)
        return;
    ht_stats_t stats;
    if (ht_get_stats(table, &stats))
        LC_TRACE("Size hwm: %lu, worst lookup: %lu, average lookup: %f\n",
                 static_cast<unsigned long>(stats.size_hwm),
                 static_cast<unsigned long>(stats.worst_lookup), stats.avg_lookup);
    else
        LC_ERROR_AS("lcache_print_stats", "Failed to get stats\n");
}

} // namespace

} // namespace lc

extern "C" {

void lcache_print_global(void) { lc::print_global(); }

void lcache_print_stats(ht_table_t *table) { lc::print_stats(table); }

void lcache_dump(void) {
    lc::print_global();
    if (!lcache_enabled)
        return;
    lc::dump_index_tables([](const lc::TableDesc &t) { lc::print_stats(&lc::table_of(t)); });
}

void lcache_vlan_dump(void) {
    if (!lcache_enabled)
        return;
    LC_TRACE("Vlan table\n");
    lc::print_vlan_table(&lcache.vlan_table);
    lc::print_stats(&lcache.vlan_table);
}
}
