// SPDX-License-Identifier: MIT
// The four interface index tables, described once.  Each table is a
// TableDesc; one insert and one keyed delete serve all of them, behind the
// exported lcache_<table>_{insert,delete}_entry names.
#pragma once

#include <cstddef>

#include "lcache_internal.h"

namespace lc {

struct TableDesc {
    uint32_t sync_bit; // sync_mask bit that creates and maintains the table; 0: always
    uint32_t none;     // key value of an entry that has no key for this table
    ht_table_t lcache_t::*table;
    size_t key_offset;  // the entry's u32 key for this table
    size_t link_offset; // the entry's link in this table
    uint64_t lcache_stats_t::*inserts;
    uint64_t lcache_stats_t::*removes;
    uint64_t lcache_stats_t::*insert_fails;
    uint64_t lcache_stats_t::*remove_fails;
    ht_hash_fn hash;
    ht_get_key_fn get_key;
    ht_keys_equal_fn keys_equal;
    const char *print_op;    // the operation that walks it, named in its errors
    void (*trace_heading)(); // the table's heading in the dumps
    void (*report_insert_fail)(const lcache_if_entry_t &entry);
    // The keyed tables only: the if table's delete is lcache_if_delete_entry.
    void (*report_delete_fail)(const lcache_if_entry_t &entry);
};

// What the table's name `t` gives: lcache.<t>_table, the entry's `key` and
// <t>_link, and the <t>_* counters and callbacks.
#define LC_TABLE_NAMED(t, key)                                                                     \
    .table = &lcache_t::t##_table, .key_offset = offsetof(lcache_if_entry_t, key),                 \
    .link_offset = offsetof(lcache_if_entry_t, t##_link), .inserts = &lcache_stats_t::t##_inserts, \
    .removes = &lcache_stats_t::t##_removes, .insert_fails = &lcache_stats_t::t##_insert_fails,    \
    .remove_fails = &lcache_stats_t::t##_remove_fails, .hash = lcache_##t##_hash,                  \
    .get_key = lcache_##t##_get_key, .keys_equal = lcache_##t##_keys_equal,                        \
    .print_op = "lcache_" #t "_print_table"

// Left as written: the formatter takes the keyword `if` for a statement.
// clang-format off
inline constexpr TableDesc kIfTable{
    .sync_bit = 0,
    .none = 0,
    LC_TABLE_NAMED(if, if_index),
    .trace_heading = [] { LC_TRACE("If table\n"); },
    .report_insert_fail =
        [](const lcache_if_entry_t &e) {
            LC_ERROR_AS("lcache_if_insert_entry", "Failed to add lcache entry for if-index 0x%x\n",
                        e.if_index);
        },
    .report_delete_fail = nullptr,
};
// clang-format on

inline constexpr TableDesc kIodTable{
    .sync_bit = LCACHE_ATTR_IOD,
    .none = LCACHE_NO_IOD,
    LC_TABLE_NAMED(iod, iod),
    .trace_heading = [] { LC_TRACE("Iod table\n"); },
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

// The pi and lif tables are alike but for their names, `t` in the entry
// and the messages, `heading` in the dumps.
// clang-format off
#define LC_KEYED_TABLE(sync, no_key, t, heading)                                                   \
    TableDesc{                                                                                     \
        .sync_bit = sync,                                                                          \
        .none = no_key,                                                                            \
        LC_TABLE_NAMED(t, t),                                                                      \
        .trace_heading = [] { LC_TRACE(heading " table\n"); },                                     \
        .report_insert_fail =                                                                      \
            [](const lcache_if_entry_t &e) {                                                       \
                LC_ERROR_AS("lcache_" #t "_insert_entry",                                          \
                            "Failed to add " #t " entry for if 0x%x, iod %d, " #t " 0x%x\n",       \
                            e.if_index, e.iod, e.t);                                               \
            },                                                                                     \
        .report_delete_fail =                                                                      \
            [](const lcache_if_entry_t &e) {                                                       \
                LC_ERROR_AS("lcache_" #t "_delete_entry",                                          \
                            "Failed to del " #t " entry for if 0x%x, iod %d, " #t                  \
                            " 0x%x; possible leak?\n", e.if_index, e.iod, e.t);                    \
            },                                                                                     \
    }
// clang-format on

inline constexpr TableDesc kPiTable = LC_KEYED_TABLE(LCACHE_ATTR_PI, LCACHE_NO_PI, pi, "PI");
inline constexpr TableDesc kLifTable = LC_KEYED_TABLE(LCACHE_ATTR_LIF, LCACHE_NO_LIF, lif, "LIF");

#undef LC_KEYED_TABLE
#undef LC_TABLE_NAMED

// The four in the order they are created and dumped.
inline constexpr const TableDesc *kIndexTables[] = {&kIfTable, &kIodTable, &kPiTable, &kLifTable};

inline ht_table_t &table_of(const TableDesc &t) { return lcache.*t.table; }

// The entry's key for the table.
inline uint32_t &key_of(const TableDesc &t, lcache_if_entry_t &entry) {
    return *reinterpret_cast<uint32_t *>(reinterpret_cast<char *>(&entry) + t.key_offset);
}
inline uint32_t key_of(const TableDesc &t, const lcache_if_entry_t &entry) {
    return *reinterpret_cast<const uint32_t *>(reinterpret_cast<const char *>(&entry) +
                                               t.key_offset);
}

// Whether the table holds the entry: its link there is in use.  A key's
// value says nothing about membership (an iod of 0 can be held).
inline bool holds(const TableDesc &t, const lcache_if_entry_t &entry) {
    const char *at = reinterpret_cast<const char *>(&entry) + t.link_offset;
    return reinterpret_cast<const ht_link_t *>(at)->pprev != nullptr;
}

// sync_mask keeps the table (disabling the cache clears the mask).
inline bool table_kept(const TableDesc &t) {
    return t.sync_bit == 0 || (lcache.attr.sync_mask & t.sync_bit);
}

// The table exists and is maintained: created by lcache_init and still kept.
inline bool table_in_service(const TableDesc &t) {
    return table_kept(t) && table_exists(table_of(t));
}

// Each index table under its heading, as the dumps show them.
inline void dump_index_tables(void (*show)(const TableDesc &t)) {
    for (const TableDesc *t : kIndexTables) {
        t->trace_heading();
        show(*t);
    }
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
// lcache_if_delete_entry.
uint32_t delete_if_entry(lcache_if_entry_t *entry);

} // namespace lc
