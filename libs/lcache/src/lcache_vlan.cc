// SPDX-License-Identifier: MIT
// The VLAN cache: bridge domain, flood index and private-VLAN primary per
// VLAN, kept in vlan_table.  Unlike the interface cache, a VLAN entry's
// dirty word is assigned whole (at creation, refresh, flush and update).
#include <cerrno>
#include <cstddef>
#include <cstdio>

#include "hostctl.h"
#include "lcache_flush.h"
#include "lcache_vlan_attrs.h"
#include "lcache_watch.h"
#include "mtrack.h"

namespace lc {

namespace {

constexpr const char *kVlanSourcePath = "libs/lcache/lcache_vlan";

lcache_vlan_entry_t *report_alloc_failure() {
    printf("Warning! Malloc Failure in %s[%d] for size %d\n", kVlanSourcePath, __LINE__,
           static_cast<int>(sizeof(lcache_vlan_entry_t)));
    LC_TRACE("%s: Malloc failure\n", "lcache_vlan_create_entry_by_vlan");
    errno = ENOMEM;
    return nullptr;
}

uint32_t insert_vlan_entry(lcache_vlan_entry_t *entry) {
    if (!entry)
        return 0;
    if (ht_insert(&lcache.vlan_table, entry, 0))
        return 1;
    LC_ERROR_AS("lcache_vlan_insert_entry", "*** Failed to add entry\n");
    return 0;
}

uint32_t delete_vlan_entry(lcache_vlan_entry_t *entry) {
    constexpr const char *op = "lcache_vlan_delete_entry";
    if (!entry || refused_in_callback(op))
        return 0;
    if (!ht_remove_entry(&lcache.vlan_table, entry)) {
        LC_ERROR_AS(op, "*** Failed to delete entry: possible leak?\n");
        return 0;
    }
    released(*entry);
    ++lcache.stats.vlan_frees;
    mtrack_free(entry);
    return 1;
}

} // namespace

vlan_key_t vlan_key(uint32_t vlan) {
    vlan_key_t key;
    key.slice = hostctl_slice_get();
    key.vlan = vlan;
    return key;
}

void release_all_vlan_entries() { release_chained(lcache.vlan_table, mtrack_free); }

lcache_vlan_entry_t *create_vlan_entry(uint16_t vlan) {
    void *block =
        mtrack_alloc(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_vlan_entry_t, sizeof(lcache_vlan_entry_t));
    if (!block)
        return report_alloc_failure();
    const ChangeScope op;
    lcache_vlan_entry_t *entry = static_cast<lcache_vlan_entry_t *>(block);
    *entry = lcache_vlan_entry_t{};
    added(*entry);
    entry->dirty = lcache.attr.sync_mask;
    ++lcache.stats.vlan_allocs;
    entry->vlan = vlan;
    if (!insert_vlan_entry(entry)) {
        released(*entry);
        ++lcache.stats.vlan_frees;
        mtrack_free(entry);
        return nullptr;
    }
    refresh_vlan_entry(entry);
    return entry;
}

uint32_t vlan_table_init() {
    if (!(lcache.attr.sync_mask & LCACHE_ATTR_VLAN))
        return 1;
    if (ht_init(&lcache.vlan_table, 0, offsetof(lcache_vlan_entry_t, vlan_link),
                lcache.attr.table_size, 0.0, lcache_vlan_hash, lcache_vlan_get_key,
                lcache_vlan_keys_equal))
        return 1;
    LC_ERROR_AS("lcache_vlan_table_init", "Couldn't initialize hash table\n");
    ht_cleanup(&lcache.vlan_table);
    return 0;
}

// Every dirty attribute is fetched, in the order pvlan, bd, flood index.
// Only when all calls succeed is the entry clean; otherwise every dirty
// attribute is fetched again next time, including those that succeeded.
uint32_t refresh_vlan_entry(lcache_vlan_entry_t *entry) {
    if (!entry)
        return 0;
    const ChangeScope op;
    touched(*entry);
    const vlan_key_t key = vlan_key(entry->vlan);
    bool failed = false;
    for (const VlanAttr *a : kVlanAttrs) {
        if (!(entry->dirty & a->bit))
            continue;
        if (!a->refresh(*entry, key))
            failed = true;
        ++lcache.stats.vlan_updates[a->updated];
    }
    if (!failed)
        entry->dirty = 0;
    return 1;
}

// The VLAN flush assigns the mask: a dirty attribute outside it turns clean.
void flush_vlan_entry(lcache_vlan_entry_t *entry, uint32_t opt) {
    if (!entry)
        return;
    touched(*entry);
    entry->dirty = flush_mask(opt);
}

} // namespace lc

extern "C" {

uint32_t lcache_vlan_hash(const void *key, uint32_t num_buckets) {
    return *static_cast<const uint16_t *>(key) % num_buckets;
}

// The key is the entry's first field.
void *lcache_vlan_get_key(void *entry) { return entry; }

uint32_t lcache_vlan_keys_equal(const void *a, const void *b) {
    return *static_cast<const uint16_t *>(a) == *static_cast<const uint16_t *>(b);
}

uint32_t lcache_vlan_table_init(void) { return lc::vlan_table_init(); }

lcache_vlan_entry_t *lcache_vlan_create_entry_by_vlan(uint16_t vlan) {
    return lc::vlan_entry(vlan);
}

uint32_t lcache_vlan_insert_entry(lcache_vlan_entry_t *entry) {
    return lc::insert_vlan_entry(entry);
}

uint32_t lcache_vlan_delete_entry(lcache_vlan_entry_t *entry) {
    const lc::ChangeScope op;
    return lc::delete_vlan_entry(entry);
}

uint32_t lcache_vlan_update_entry(lcache_vlan_entry_t *entry) {
    const lc::ChangeScope op;
    return lc::refresh_vlan_entry(entry);
}

void lcache_flush_vlan_entry(lcache_vlan_entry_t *entry, uint32_t opt) {
    const lc::ChangeScope op;
    lc::flush_vlan_entry(entry, opt);
}

uint32_t lcache_vlan_flush_all(uint32_t opt) {
    if (!lcache_enabled)
        return 0;
    if (!lc::table_exists(lcache.vlan_table)) // nothing was ever cached
        return 1;
    const lc::ChangeScope op;
    return lc::flush_every(__func__, lcache.vlan_table, lc::flush_vlan_entry, opt);
}

uint32_t lcache_vlan_flush_vlan(uint16_t vlan, uint32_t opt) {
    if (!lcache_enabled)
        return 0;
    const lc::ChangeScope op;
    lc::flush_vlan_entry(lc::vlan_entry(vlan), opt);
    return 1;
}

uint32_t lcache_vlan_update_vlan(uint16_t vlan) {
    if (!lcache_enabled)
        return 0;
    lcache_vlan_entry_t *entry = lc::lookup_vlan(vlan);
    if (!entry)
        return 0;
    const lc::ChangeScope op;
    lc::touched(*entry);
    entry->dirty = lcache.attr.sync_mask;
    return lc::refresh_vlan_entry(entry);
}

uint32_t lcache_vlan_remove_entry_by_vlan(uint16_t vlan) {
    if (!lcache_enabled)
        return 0;
    lcache_vlan_entry_t *entry = lc::lookup_vlan(vlan);
    if (!entry || lc::refused_in_callback("lcache_vlan_remove_entry_by_vlan"))
        return 0;
    const lc::ChangeScope op;
    lc::delete_vlan_entry(entry);
    return 1;
}
}
