// SPDX-License-Identifier: MIT
// What the rest of the library needs from the VLAN cache unit.
#pragma once

#include <cstddef>

#include "lcache_internal.h"
#include "vlan_mgr.h"

namespace lc {

// The key the VLAN manager knows a VLAN by: this process's slice and the
// whole VLAN number.
vlan_key_t vlan_key(uint32_t vlan);

// The cached entry of `vlan`, or NULL.  Never creates, never refreshes.
inline lcache_vlan_entry_t *lookup_vlan(uint16_t vlan) {
    if (!table_exists(lcache.vlan_table))
        return nullptr;
    // The key is the u16 at the start of the entry, hashed modulo the
    // table size and compared with ==: the inline lookup applies.
    return static_cast<lcache_vlan_entry_t *>(
        ht_lookup_u16(&lcache.vlan_table, vlan, offsetof(lcache_vlan_entry_t, vlan)));
}

// lcache_vlan_update_entry and lcache_flush_vlan_entry.
uint32_t refresh_vlan_entry(lcache_vlan_entry_t *entry);
void flush_vlan_entry(lcache_vlan_entry_t *entry, uint32_t opt);

// A new entry for `vlan`, inserted and refreshed; NULL when it cannot be.
lcache_vlan_entry_t *create_vlan_entry(uint16_t vlan);

// lcache_vlan_create_entry_by_vlan: lookup-or-create; a dirty entry is
// refreshed before it is handed out.  Without a VLAN table (sync_mask
// lacks the vlan bit) there is no VLAN cache at all, and the queries ask
// the peers.  Inline: every VLAN query starts here, and a hit must not
// pay a call.
inline lcache_vlan_entry_t *vlan_entry(uint16_t vlan) {
    if (!lcache_enabled || !table_exists(lcache.vlan_table))
        return nullptr;
    if (lcache_vlan_entry_t *entry = lookup_vlan(vlan)) {
        if (entry->dirty != 0)
            refresh_vlan_entry(entry);
        return entry;
    }
    return create_vlan_entry(vlan);
}

// lcache_vlan_table_init and lcache_vlan_print_table.
uint32_t vlan_table_init();
void print_vlan_table(ht_table_t *table);
void print_vlan_entry(const lcache_vlan_entry_t *entry);

// Returns every VLAN entry to the tracker without unlinking (the table is
// about to be released).
void release_all_vlan_entries();

} // namespace lc
