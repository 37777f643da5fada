// The VLAN cache: bridge domain, flood index and private-VLAN primary per
// VLAN, kept in vlan_table.  Unlike the interface cache, a VLAN entry's
// dirty word is assigned whole (at creation, refresh, flush and update).
#include <cerrno>
#include <cstddef>
#include <cstdio>

#include "dmap.h"
#include "hostctl.h"
#include "lcache_flush.h"
#include "lcache_internal.h"
#include "lcache_vlan_internal.h"
#include "mtrack.h"

namespace lc {

namespace {

constexpr const char *kVlanSourcePath = "libs/lcache/lcache_vlan";

lcache_vlan_entry_t *lookup_vlan(uint16_t vlan) {
    if (!table_exists(lcache.vlan_table))
        return nullptr;
    // The key is the u16 at the start of the entry, hashed modulo the
    // table size and compared with ==: the inline lookup applies.
    return static_cast<lcache_vlan_entry_t *>(
        ht_lookup_u16(&lcache.vlan_table, vlan, offsetof(lcache_vlan_entry_t, vlan)));
}

lcache_vlan_entry_t *report_alloc_failure() {
    printf("Warning! Malloc Failure in %s[%d] for size %d\n", kVlanSourcePath, __LINE__,
           static_cast<int>(sizeof(lcache_vlan_entry_t)));
    LC_TRACE("%s: Malloc failure\n", "lcache_vlan_create_entry_by_vlan");
    errno = ENOMEM;
    return nullptr;
}

lcache_vlan_entry_t *new_vlan_entry(uint16_t vlan) {
    void *block =
        mtrack_alloc(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_vlan_entry_t, sizeof(lcache_vlan_entry_t));
    if (!block)
        return report_alloc_failure();
    lcache_vlan_entry_t *entry = static_cast<lcache_vlan_entry_t *>(block);
    *entry = lcache_vlan_entry_t{};
    entry->dirty = lcache.attr.sync_mask;
    ++lcache.stats.vlan_allocs;
    entry->vlan = vlan;
    if (!lcache_vlan_insert_entry(entry)) {
        ++lcache.stats.vlan_frees;
        mtrack_free(entry);
        return nullptr;
    }
    return entry;
}

} // namespace

vlan_key_t vlan_key(uint32_t vlan) {
    vlan_key_t key;
    key.slice = hostctl_slice_get();
    key.vlan = vlan;
    return key;
}

void release_all_vlan_entries() { release_chained(lcache.vlan_table, mtrack_free); }

// Lookup-or-create; a dirty entry is refreshed before it is handed out.
// Without a VLAN table (sync_mask lacks the vlan bit) there is no VLAN
// cache at all, and the queries ask the peers.
lcache_vlan_entry_t *vlan_entry(uint16_t vlan) {
    if (!lcache_enabled || !table_exists(lcache.vlan_table))
        return nullptr;
    if (lcache_vlan_entry_t *entry = lookup_vlan(vlan)) {
        if (entry->dirty != 0)
            lcache_vlan_update_entry(entry);
        return entry;
    }
    lcache_vlan_entry_t *entry = new_vlan_entry(vlan);
    if (entry)
        lcache_vlan_update_entry(entry);
    return entry;
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

uint32_t lcache_vlan_table_init(void) {
    if (!(lcache.attr.sync_mask & LCACHE_ATTR_VLAN))
        return 1;
    if (ht_init(&lcache.vlan_table, 0, offsetof(lcache_vlan_entry_t, vlan_link),
                lcache.attr.table_size, 0.0, lcache_vlan_hash, lcache_vlan_get_key,
                lcache_vlan_keys_equal))
        return 1;
    LC_ERROR("Couldn't initialize hash table\n");
    ht_cleanup(&lcache.vlan_table);
    return 0;
}

lcache_vlan_entry_t *lcache_vlan_create_entry_by_vlan(uint16_t vlan) {
    return lc::vlan_entry(vlan);
}

uint32_t lcache_vlan_insert_entry(lcache_vlan_entry_t *entry) {
    if (!entry)
        return 0;
    if (ht_insert(&lcache.vlan_table, entry, 0))
        return 1;
    LC_ERROR("*** Failed to add entry\n");
    return 0;
}

uint32_t lcache_vlan_delete_entry(lcache_vlan_entry_t *entry) {
    if (!entry || lc::refused_in_callback("lcache_vlan_delete_entry"))
        return 0;
    if (!ht_remove_entry(&lcache.vlan_table, entry)) {
        LC_ERROR("*** Failed to delete entry: possible leak?\n");
        return 0;
    }
    ++lcache.stats.vlan_frees;
    mtrack_free(entry);
    return 1;
}

// Every dirty attribute is fetched, in the order pvlan, bd, flood index.
// Only when all calls succeed is the entry clean; otherwise every dirty
// attribute is fetched again next time, including those that succeeded.
uint32_t lcache_vlan_update_entry(lcache_vlan_entry_t *entry) {
    if (!entry)
        return 0;
    const vlan_key_t key = lc::vlan_key(entry->vlan);
    uint64_t *updates = lcache.stats.vlan_updates;
    bool failed = false;
    if (entry->dirty & LCACHE_ATTR_PVLAN) {
        if (uint32_t status = vlan_get_bd_and_primary_vlan(key, &entry->bd, &entry->pvlan)) {
            LC_TRACE("1 vlan_get_bd_and_primary_vlan returned 0x%x for vlan %d\n", status,
                     entry->vlan);
            failed = true;
        }
        ++updates[LCACHE_VLAN_STAT_PVLAN];
    }
    if (entry->dirty & LCACHE_ATTR_BD) {
        if (uint32_t status = vlan_get_bd(key, &entry->bd)) {
            LC_TRACE("1 vlan_get_bd returned bad 0x%x for vlan %d\n", status, entry->vlan);
            failed = true;
        }
        ++updates[LCACHE_VLAN_STAT_BD];
    }
    if (entry->dirty & LCACHE_ATTR_FINDEX) {
        if (uint32_t status = vlan_get_bd(key, &entry->bd)) {
            LC_TRACE("2 vlan_get_bd returned bad 0x%x for vlan %d\n", status, entry->vlan);
            failed = true;
        }
        if (uint32_t status = dmap_lib_bd_to_di(entry->bd, &entry->fi)) {
            LC_TRACE("dmap_lib_bd_to_di returned bad 0x%x\n", status);
            failed = true;
        }
        ++updates[LCACHE_VLAN_STAT_FINDEX];
    }
    if (!failed)
        entry->dirty = 0;
    return 1;
}

// The VLAN flush assigns the mask: a dirty attribute outside it turns clean.
void lcache_flush_vlan_entry(lcache_vlan_entry_t *entry, uint32_t opt) {
    if (entry)
        entry->dirty = lc::flush_mask(opt);
}

uint32_t lcache_vlan_flush_all(uint32_t opt) {
    if (!lcache_enabled)
        return 0;
    if (!lc::table_exists(lcache.vlan_table)) // nothing was ever cached
        return 1;
    return lc::flush_every(__func__, lcache.vlan_table, lcache_flush_vlan_entry, opt);
}

uint32_t lcache_vlan_flush_vlan(uint16_t vlan, uint32_t opt) {
    if (!lcache_enabled)
        return 0;
    lcache_flush_vlan_entry(lc::vlan_entry(vlan), opt);
    return 1;
}

uint32_t lcache_vlan_update_vlan(uint16_t vlan) {
    if (!lcache_enabled)
        return 0;
    lcache_vlan_entry_t *entry = lc::lookup_vlan(vlan);
    if (!entry)
        return 0;
    entry->dirty = lcache.attr.sync_mask;
    return lcache_vlan_update_entry(entry);
}

uint32_t lcache_vlan_remove_entry_by_vlan(uint16_t vlan) {
    if (!lcache_enabled)
        return 0;
    lcache_vlan_entry_t *entry = lc::lookup_vlan(vlan);
    if (!entry || lc::refused_in_callback("lcache_vlan_remove_entry_by_vlan"))
        return 0;
    lcache_vlan_delete_entry(entry);
    return 1;
}
}
