// SPDX-License-Identifier: MIT
// Printing one entry, one table or all the interface tables.  Every line
// is an info trace, so it reaches the client's sink and the event history.
#include "lcache_tables.h"
#include "lcache_vlan_internal.h"
#include "platform_util.h"

namespace lc {

namespace {

unsigned flag_bit(uint8_t flags, uint8_t mask) { return (flags & mask) != 0; }

// One walk for all five tables: a header line, then every entry.  Whether a
// null or never-created table may be walked is the hash-table service's
// choice; a refusal is reported like any iterator failure, and a null
// table that is walked shows as empty.
void print_table(const char *op, ht_table_t *table, void (*print_entry)(void *entry)) {
    if (!lcache_enabled)
        return;
    ht_iterator_t it;
    const uint32_t buckets = table ? table->num_buckets : 0;
    const uint32_t size = table ? table->num_entries : 0;
    if (!ht_iterator_init(&it, table, 0, buckets)) {
        LC_ERROR_AS(op, "Couldn't init iterator\n");
        return;
    }
    LC_TRACE("Hash table 0x%p, size %lu, num_buckets %lu\n", static_cast<void *>(table),
             static_cast<unsigned long>(size), static_cast<unsigned long>(buckets));
    while (void *entry = ht_iterator_next(&it, 0))
        print_entry(entry);
}

void print_if_entry(const lcache_if_entry_t *e);

void print_any_if_entry(void *entry) { print_if_entry(static_cast<lcache_if_entry_t *>(entry)); }
// A walk of `table` as the index table `t` prints it.
void print_index_table(const TableDesc &t, ht_table_t *table) {
    print_table(t.print_op, table, print_any_if_entry);
}

void print_any_vlan_entry(void *entry) {
    print_vlan_entry(static_cast<lcache_vlan_entry_t *>(entry));
}

void print_if_entry(const lcache_if_entry_t *e) {
    if (!e)
        return;
    const uint32_t sync = lcache.attr.sync_mask;
    LC_TRACE("Entry (0x%p) %s - if_index: 0x%x(%d), iod: %d\n", static_cast<const void *>(e),
             netif_get_if_name(e->iod), e->if_index, e->if_type, e->iod);
    // The LIF is shown with the port index, and only when port indexes are kept.
    if (sync & LCACHE_ATTR_PI)
        LC_TRACE("PI 0x%x, LIF 0x%x\n", e->pi, e->lif);
    LC_TRACE("MAC: %s, encap %d, Ctx %d, Extn:0x%x(s%d), Tid %d, Vlan %d\n",
             arp_print_macaddr(e->mac), e->encap, e->ctx, e->extn, e->extn_size, e->tid, e->vlan);
    if (e->extn1)
        LC_TRACE("Extn1:0x%x(s%d), Extn2:0x%x(s%d), Extn3:0x%x(s%d)\n", e->extn1, e->extn1_size,
                 e->extn2, e->extn2_size, e->extn3, e->extn3_size);
    LC_TRACE("mtu:%d, sw-port %d, sw:%d, linkup:%d, protoup:%d, eth:%d, isvlan:%d, ips:%d, "
             "null:%d, lo:%d p2p:%d\n",
             e->mtu, lc::flag_bit(e->flags, LCACHE_FLAG_SWPORT),
             lc::flag_bit(e->flags, LCACHE_FLAG_SW), lc::flag_bit(e->flags, LCACHE_FLAG_LINKUP),
             lc::flag_bit(e->flags, LCACHE_FLAG_PROTOUP), lc::flag_bit(e->flags, LCACHE_FLAG_ETH),
             lc::flag_bit(e->flags, LCACHE_FLAG_ISVLAN), lc::flag_bit(e->flags, LCACHE_FLAG_IPS),
             lc::flag_bit(e->flags, LCACHE_FLAG_NULL), lc::flag_bit(e->flags2, LCACHE_FLAG2_LO),
             lc::flag_bit(e->flags2, LCACHE_FLAG2_P2P));
    LC_TRACE("valid: 0x%x, dirty: 0x%x\n", e->valid, e->dirty);
    // The one 32-bit field is shown under both of its labels.
    LC_TRACE("agg_if: 0x%x, gre_hdr: 0x%x, ref_count: %d\n", e->agg_if, e->agg_if, e->ref_count);
}

} // namespace

void print_vlan_entry(const lcache_vlan_entry_t *e) {
    if (!e)
        return;
    LC_TRACE("Entry (0x%p) - vlan: %d, pvlan: %d, FI 0x%x, BD 0x%x\n", static_cast<const void *>(e),
             e->vlan, e->pvlan, e->fi, e->bd);
}

void print_vlan_table(ht_table_t *table) {
    print_table("lcache_vlan_print_table", table, print_any_vlan_entry);
}

} // namespace lc

extern "C" {

void lcache_if_entry_print(const lcache_if_entry_t *e) { lc::print_if_entry(e); }

void lcache_if_print_table(ht_table_t *table) { lc::print_index_table(lc::kIfTable, table); }
void lcache_iod_print_table(ht_table_t *table) { lc::print_index_table(lc::kIodTable, table); }
void lcache_pi_print_table(ht_table_t *table) { lc::print_index_table(lc::kPiTable, table); }
void lcache_lif_print_table(ht_table_t *table) { lc::print_index_table(lc::kLifTable, table); }
void lcache_vlan_print_table(ht_table_t *table) { lc::print_vlan_table(table); }

void lcache_if_print_iod(uint32_t iod) {
    if (!lcache_enabled)
        return;
    if (lcache_if_entry_t *entry = lc::lookup(lc::kIodTable, iod))
        lc::print_if_entry(entry);
}

// Every table is walked whatever sync_mask keeps, so an entry held by
// several tables is printed once under each heading.
void lcache_if_dump(void) {
    if (!lcache_enabled)
        return;
    lc::dump_index_tables(
        [](const lc::TableDesc &t) { lc::print_index_table(t, &lc::table_of(t)); });
}

void lcache_vlan_entry_print(const lcache_vlan_entry_t *e) { lc::print_vlan_entry(e); }

void lcache_vlan_print(uint16_t vlan) {
    if (!lcache_enabled)
        return;
    const lcache_vlan_entry_t *entry = nullptr;
    if (lc::table_exists(lcache.vlan_table))
        entry = static_cast<const lcache_vlan_entry_t *>(ht_lookup(&lcache.vlan_table, &vlan));
    lc::print_vlan_entry(entry);
}
}
