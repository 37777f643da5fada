// SPDX-License-Identifier: MIT
// Membership of an interface entry in the four index tables, and the key
// callbacks the tables were created with.
#include "lcache_tables.h"
#include "lcache_entry.h"
#include "lcache_watch.h"
#include "platform_util.h"

namespace lc {

uint32_t insert_entry(const TableDesc &t, lcache_if_entry_t *entry) {
    if (!entry)
        return 0;
    if (ht_insert(&table_of(t), entry, 0)) {
        ++entry->ref_count;
        ++(lcache.stats.*t.inserts);
        return 1;
    }
    t.report_insert_fail(*entry);
    ++(lcache.stats.*t.insert_fails);
    return 0;
}

uint32_t delete_keyed_entry(const TableDesc &t, lcache_if_entry_t *entry) {
    if (!entry || !(lcache.attr.sync_mask & t.sync_bit))
        return 0;
    if (ht_remove_entry(&table_of(t), entry)) {
        touched(*entry);
        --entry->ref_count;
        ++(lcache.stats.*t.removes);
        key_of(t, *entry) = t.none;
        return 1;
    }
    t.report_delete_fail(*entry);
    ++(lcache.stats.*t.remove_fails);
    return 0;
}

} // namespace lc

extern "C" {

uint32_t lcache_if_hash(const void *key, uint32_t n) { return lc::u32_key_hash(key, n); }
uint32_t lcache_iod_hash(const void *key, uint32_t n) { return lc::u32_key_hash(key, n); }
uint32_t lcache_pi_hash(const void *key, uint32_t n) { return lc::u32_key_hash(key, n); }
uint32_t lcache_lif_hash(const void *key, uint32_t n) { return lc::u32_key_hash(key, n); }

uint32_t lcache_if_keys_equal(const void *a, const void *b) { return lc::u32_keys_equal(a, b); }
uint32_t lcache_iod_keys_equal(const void *a, const void *b) { return lc::u32_keys_equal(a, b); }
uint32_t lcache_pi_keys_equal(const void *a, const void *b) { return lc::u32_keys_equal(a, b); }
uint32_t lcache_lif_keys_equal(const void *a, const void *b) { return lc::u32_keys_equal(a, b); }

void *lcache_if_get_key(void *e) { return &static_cast<lcache_if_entry_t *>(e)->if_index; }
void *lcache_iod_get_key(void *e) { return &static_cast<lcache_if_entry_t *>(e)->iod; }
void *lcache_pi_get_key(void *e) { return &static_cast<lcache_if_entry_t *>(e)->pi; }
void *lcache_lif_get_key(void *e) { return &static_cast<lcache_if_entry_t *>(e)->lif; }

uint32_t lcache_if_insert_entry(lcache_if_entry_t *e) { return lc::insert_entry(lc::kIfTable, e); }
uint32_t lcache_iod_insert_entry(lcache_if_entry_t *e) {
    return lc::insert_entry(lc::kIodTable, e);
}
uint32_t lcache_pi_insert_entry(lcache_if_entry_t *e) { return lc::insert_entry(lc::kPiTable, e); }
uint32_t lcache_lif_insert_entry(lcache_if_entry_t *e) {
    return lc::insert_entry(lc::kLifTable, e);
}

uint32_t lcache_iod_delete_entry(lcache_if_entry_t *e) {
    const lc::ChangeScope op;
    return lc::delete_keyed_entry(lc::kIodTable, e);
}
uint32_t lcache_pi_delete_entry(lcache_if_entry_t *e) {
    const lc::ChangeScope op;
    return lc::delete_keyed_entry(lc::kPiTable, e);
}
uint32_t lcache_lif_delete_entry(lcache_if_entry_t *e) {
    const lc::ChangeScope op;
    return lc::delete_keyed_entry(lc::kLifTable, e);
}

} // extern "C"

namespace lc {

// The if table holds an entry for its whole life, so leaving it releases
// the entry, unless another table still holds it.
uint32_t delete_if_entry(lcache_if_entry_t *entry) {
    constexpr const char *op = "lcache_if_delete_entry";
    if (!entry || refused_in_callback(op))
        return 0;
    if (!ht_remove_entry(&lcache.if_table, entry)) {
        LC_ERROR_AS(op, "Failed to delete entry for if 0x%x: possible leak?\n", entry->if_index);
        ++lcache.stats.if_remove_fails;
        return 0;
    }
    if (--entry->ref_count != 0) {
        LC_ERROR_AS(op, "Failed to delete entry for if 0x%x: ref-cnt !0?\n", entry->if_index);
        syslog_backtrace(op, 7);
    } else {
        release_entry(entry, kFillReleased);
        ++lcache.stats.if_frees;
    }
    ++lcache.stats.if_removes;
    return 1;
}

} // namespace lc

extern "C" uint32_t lcache_if_delete_entry(lcache_if_entry_t *entry) {
    const lc::ChangeScope op;
    return lc::delete_if_entry(entry);
}
