// The four interface index tables, described once.  Each table is a
// TableDesc; one insert and one keyed delete serve all of them, behind the
// exported lcache_<table>_{insert,delete}_entry names.
#pragma once

#include <cstddef>

#include "lcache_internal.h"

namespace lc {

struct TableDesc {
    ht_table_t lcache_t::*table;
    size_t key_offset;  // the entry's u32 key for this table
    size_t link_offset; // the entry's link in this table
    uint32_t sync_bit;  // sync_mask bit that creates and maintains the table; 0: always
    uint32_t none;      // key value of an entry that has no key for this table
    uint64_t lcache_stats_t::*inserts;
    uint64_t lcache_stats_t::*removes;
    uint64_t lcache_stats_t::*insert_fails;
    uint64_t lcache_stats_t::*remove_fails;
    void (*report_insert_fail)(const lcache_if_entry_t &entry);
    // The keyed tables only: the if table's delete is lcache_if_delete_entry.
    void (*report_delete_fail)(const lcache_if_entry_t &entry);
};

inline constexpr TableDesc kIfTable{
    .table = &lcache_t::if_table,
    .key_offset = offsetof(lcache_if_entry_t, if_index),
    .link_offset = offsetof(lcache_if_entry_t, if_link),
    .sync_bit = 0,
    .none = 0,
    .inserts = &lcache_stats_t::if_inserts,
    .removes = &lcache_stats_t::if_removes,
    .insert_fails = &lcache_stats_t::if_insert_fails,
    .remove_fails = &lcache_stats_t::if_remove_fails,
    .report_insert_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_if_insert_entry", "Failed to add lcache entry for if-index 0x%x\n",
                        e.if_index);
        },
    .report_delete_fail = nullptr,
};

inline constexpr TableDesc kIodTable{
    .table = &lcache_t::iod_table,
    .key_offset = offsetof(lcache_if_entry_t, iod),
    .link_offset = offsetof(lcache_if_entry_t, iod_link),
    .sync_bit = LCACHE_ATTR_IOD,
    .none = LCACHE_NO_IOD,
    .inserts = &lcache_stats_t::iod_inserts,
    .removes = &lcache_stats_t::iod_removes,
    .insert_fails = &lcache_stats_t::iod_insert_fails,
    .remove_fails = &lcache_stats_t::iod_remove_fails,
    .report_insert_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_iod_insert_entry", "Failed to add iod entry for if 0x%x, iod %d\n",
                        e.if_index, e.iod);
        },
    .report_delete_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_iod_delete_entry",
                        "Failed to del iod entry for if 0x%x, iod %d;possible leak?\n", e.if_index,
                        e.iod);
        },
};

inline constexpr TableDesc kPiTable{
    .table = &lcache_t::pi_table,
    .key_offset = offsetof(lcache_if_entry_t, pi),
    .link_offset = offsetof(lcache_if_entry_t, pi_link),
    .sync_bit = LCACHE_ATTR_PI,
    .none = LCACHE_NO_PI,
    .inserts = &lcache_stats_t::pi_inserts,
    .removes = &lcache_stats_t::pi_removes,
    .insert_fails = &lcache_stats_t::pi_insert_fails,
    .remove_fails = &lcache_stats_t::pi_remove_fails,
    .report_insert_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_pi_insert_entry",
                        "Failed to add pi entry for if 0x%x, iod %d, pi 0x%x\n", e.if_index, e.iod,
                        e.pi);
        },
    .report_delete_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_pi_delete_entry",
                        "Failed to del pi entry for if 0x%x, iod %d, pi 0x%x; possible leak?\n",
                        e.if_index, e.iod, e.pi);
        },
};

inline constexpr TableDesc kLifTable{
    .table = &lcache_t::lif_table,
    .key_offset = offsetof(lcache_if_entry_t, lif),
    .link_offset = offsetof(lcache_if_entry_t, lif_link),
    .sync_bit = LCACHE_ATTR_LIF,
    .none = LCACHE_NO_LIF,
    .inserts = &lcache_stats_t::lif_inserts,
    .removes = &lcache_stats_t::lif_removes,
    .insert_fails = &lcache_stats_t::lif_insert_fails,
    .remove_fails = &lcache_stats_t::lif_remove_fails,
    .report_insert_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_lif_insert_entry",
                        "Failed to add lif entry for if 0x%x, iod %d, lif 0x%x\n", e.if_index,
                        e.iod, e.lif);
        },
    .report_delete_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_lif_delete_entry",
                        "Failed to del lif entry for if 0x%x, iod %d, lif 0x%x; possible leak?\n",
                        e.if_index, e.iod, e.lif);
        },
};

inline ht_table_t &table_of(const TableDesc &t) { return lcache.*t.table; }

// The entry's key for the table.
inline uint32_t &key_of(const TableDesc &t, lcache_if_entry_t &entry) {
    return *reinterpret_cast<uint32_t *>(reinterpret_cast<char *>(&entry) + t.key_offset);
}

// Whether the table holds the entry: its link there is in use.  A key's
// value says nothing about membership (an iod of 0 can be held).
inline bool holds(const TableDesc &t, const lcache_if_entry_t &entry) {
    const char *at = reinterpret_cast<const char *>(&entry) + t.link_offset;
    return reinterpret_cast<const ht_link_t *>(at)->pprev != nullptr;
}

// The table exists and is maintained: created by lcache_init and its bit is
// still in sync_mask (disabling the cache clears the mask).
inline bool table_in_service(const TableDesc &t) {
    return (t.sync_bit == 0 || (lcache.attr.sync_mask & t.sync_bit)) && table_exists(table_of(t));
}

// The entry held under `key`, or NULL.  Never creates, and never hands a
// table that was not created to the hash-table service.  Every query's hit
// comes here: the four tables hash a u32 key modulo their size and compare
// it with ==, so the inline lookup gives ht_lookup's answer and statistics
// without a library call and three callbacks.
inline lcache_if_entry_t *lookup(const TableDesc &t, uint32_t key) {
    ht_table_t &table = table_of(t);
    if (!table_exists(table))
        return nullptr;
    return static_cast<lcache_if_entry_t *>(ht_lookup_u32(&table, key, t.key_offset));
}

// ht callbacks shared by the four tables: the key is a u32.
inline uint32_t u32_key_hash(const void *key, uint32_t num_buckets) {
    return *static_cast<const uint32_t *>(key) % num_buckets;
}
inline uint32_t u32_keys_equal(const void *a, const void *b) {
    return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}

// Membership operations behind lcache_<table>_insert_entry and
// lcache_{iod,pi,lif}_delete_entry.  1 on success, 0 otherwise.
uint32_t insert_entry(const TableDesc &t, lcache_if_entry_t *entry);
uint32_t delete_keyed_entry(const TableDesc &t, lcache_if_entry_t *entry);

} // namespace lc
