// The four interface index tables, described once.  Each table is a
// TableDesc; one insert and one keyed delete serve all of them, behind the
// exported lcache_<table>_{insert,delete}_entry names.
#pragma once

#include <cstddef>

#include "lcache_internal.h"

namespace lc {

struct TableDesc {
    ht_table_t lcache_t::*table;
    uint32_t lcache_if_entry_t::*key;
    size_t key_offset;
    size_t link_offset;
    uint32_t sync_bit; // sync_mask bit that creates and maintains the table; 0: always
    uint32_t none;     // key value of an entry that is not in the table
    uint64_t lcache_stats_t::*inserts;
    uint64_t lcache_stats_t::*removes;
    uint64_t lcache_stats_t::*insert_fails;
    uint64_t lcache_stats_t::*remove_fails;
    // Reports, each formatted with (if_index, iod, key); formats that show
    // fewer values ignore the rest.
    const char *insert_op;
    const char *insert_fail_fmt;
    const char *delete_op;
    const char *delete_fail_fmt;
};

inline constexpr TableDesc kIfTable{&lcache_t::if_table,
                                    &lcache_if_entry_t::if_index,
                                    offsetof(lcache_if_entry_t, if_index),
                                    offsetof(lcache_if_entry_t, if_link),
                                    0,
                                    0,
                                    &lcache_stats_t::if_inserts,
                                    &lcache_stats_t::if_removes,
                                    &lcache_stats_t::if_insert_fails,
                                    &lcache_stats_t::if_remove_fails,
                                    "lcache_if_insert_entry",
                                    "Failed to add lcache entry for if-index 0x%x\n",
                                    "lcache_if_delete_entry",
                                    "Failed to delete entry for if 0x%x: possible leak?\n"};

inline constexpr TableDesc kIodTable{
    &lcache_t::iod_table,
    &lcache_if_entry_t::iod,
    offsetof(lcache_if_entry_t, iod),
    offsetof(lcache_if_entry_t, iod_link),
    LCACHE_ATTR_IOD,
    LCACHE_NO_IOD,
    &lcache_stats_t::iod_inserts,
    &lcache_stats_t::iod_removes,
    &lcache_stats_t::iod_insert_fails,
    &lcache_stats_t::iod_remove_fails,
    "lcache_iod_insert_entry",
    "Failed to add iod entry for if 0x%x, iod %d\n",
    "lcache_iod_delete_entry",
    "Failed to del iod entry for if 0x%x, iod %d;possible leak?\n"};

inline constexpr TableDesc kPiTable{
    &lcache_t::pi_table,
    &lcache_if_entry_t::pi,
    offsetof(lcache_if_entry_t, pi),
    offsetof(lcache_if_entry_t, pi_link),
    LCACHE_ATTR_PI,
    LCACHE_NO_PI,
    &lcache_stats_t::pi_inserts,
    &lcache_stats_t::pi_removes,
    &lcache_stats_t::pi_insert_fails,
    &lcache_stats_t::pi_remove_fails,
    "lcache_pi_insert_entry",
    "Failed to add pi entry for if 0x%x, iod %d, pi 0x%x\n",
    "lcache_pi_delete_entry",
    "Failed to del pi entry for if 0x%x, iod %d, pi 0x%x; possible leak?\n"};

inline constexpr TableDesc kLifTable{
    &lcache_t::lif_table,
    &lcache_if_entry_t::lif,
    offsetof(lcache_if_entry_t, lif),
    offsetof(lcache_if_entry_t, lif_link),
    LCACHE_ATTR_LIF,
    LCACHE_NO_LIF,
    &lcache_stats_t::lif_inserts,
    &lcache_stats_t::lif_removes,
    &lcache_stats_t::lif_insert_fails,
    &lcache_stats_t::lif_remove_fails,
    "lcache_lif_insert_entry",
    "Failed to add lif entry for if 0x%x, iod %d, lif 0x%x\n",
    "lcache_lif_delete_entry",
    "Failed to del lif entry for if 0x%x, iod %d, lif 0x%x; possible leak?\n"};

inline ht_table_t &table_of(const TableDesc &t) { return lcache.*t.table; }

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
