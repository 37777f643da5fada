// SPDX-License-Identifier: MIT
// The global cache object, its attribute block and lifecycle: init,
// cleanup, disable and restore, the trace settings and the memory types.
#include <cstring>
#include <strings.h>

#include "lcache_entry.h"
#include "lcache_internal.h"
#include "lcache_tables.h"
#include "lcache_vlan_internal.h"
#include "lcache_watch.h"
#include "mtrack.h"

extern "C" {

lcache_t lcache;
uint32_t lcache_enabled;
uint32_t lcache_error_cb;
uint32_t lcache_do_sync;
char lcache_print_str[128];
uint32_t dmap_espan_session_bit_mask_t;
}

namespace {

struct MemType {
    uint32_t value;
    const char *name;
};

// Ends with the row whose name is empty.
constexpr MemType kMemTypes[] = {
    {LCACHE_MEM_NONE, "LCACHE_MEM_NONE"},
    {LCACHE_MEM_lcache_if_entry_t, "LCACHE_MEM_lcache_if_entry_t"},
    {LCACHE_MEM_lcache_vlan_entry_t, "LCACHE_MEM_lcache_vlan_entry_t"},
    {LCACHE_MEM_MAX, "LCACHE_MEM_MAX"},
    {0, ""},
};

// The name of the first row with `value`, NULL when none.
const char *mem_type_name(uint32_t value) {
    for (const MemType *row = kMemTypes; row->name[0] != '\0'; ++row)
        if (row->value == value)
            return row->name;
    return nullptr;
}

void set_print(lcache_print_fn debug_print, uint32_t arg) {
    lcache.attr.debug_print = debug_print;
    lcache.attr.debug_print_arg = arg;
}

// Creates one interface table, or reports and cleans up that table alone.
bool create_table(const lc::TableDesc &t) {
    ht_table_t &table = lc::table_of(t);
    if (ht_init(&table, 0, t.link_offset, lcache.attr.table_size, 0.0, t.hash, t.get_key,
                t.keys_equal))
        return true;
    LC_ERROR_AS("lcache_init", "Couldn't initialize hash table\n");
    ht_cleanup(&table);
    return false;
}

bool create_tables() {
    for (const lc::TableDesc *t : lc::kIndexTables)
        if (lc::table_kept(*t) && !create_table(*t))
            return false;
    return true;
}

// Returns every entry still held to the memory tracker, then the tables.
void release_everything() {
    lc::release_all_if_entries();
    lc::release_all_vlan_entries();
    ht_cleanup(&lcache.lif_table);
    ht_cleanup(&lcache.pi_table);
    ht_cleanup(&lcache.iod_table);
    ht_cleanup(&lcache.if_table);
    ht_cleanup(&lcache.vlan_table);
}

} // namespace

extern "C" {

uint32_t lcache_init(const lcache_attr *attr) {
    if (lc::refused_in_callback("lcache_init"))
        return 0;
    if (!attr) {
        LC_ERROR("lcache_init: no attribute block\n");
        return 0;
    }
    // A second init starts from an all-zero object; what the first one
    // still holds goes back first so nothing leaks.
    release_everything();
    lc::forget_changes();
    memset(&lcache, 0, sizeof lcache);
    lcache.attr = *attr;
    lcache.attr.create_on_miss = 1;
    lcache.attr.sync_mask |= LCACHE_ATTR_IF_TYPE;
    if (lcache.attr.table_size == 0)
        lcache.attr.table_size = LCACHE_DEFAULT_TABLE_SIZE;

    const char *type_names[] = {mem_type_name(LCACHE_MEM_NONE),
                                mem_type_name(LCACHE_MEM_lcache_if_entry_t),
                                mem_type_name(LCACHE_MEM_lcache_vlan_entry_t)};
    mtrack_init("Lcache", LCACHE_MTRACK_ID, type_names, 3);

    if (!create_tables()) {
        // The object was zeroed: whatever an earlier init enabled, the
        // tables it relied on are gone, so the cache must not claim service.
        lcache_enabled = 0;
        return 0;
    }
    lc::vlan_table_init();
    lcache_enabled = 1;
    return 1;
}

uint32_t lcache_cleanup(void) {
    if (lc::refused_in_callback("lcache_cleanup"))
        return 0;
    lc::drop_watches();
    release_everything();
    lc::forget_changes();
    return 1;
}

void lcache_disable_cache(void) {
    if (!lcache_enabled)
        return;
    lcache_do_sync = lcache.attr.sync_mask;
    lcache.attr.sync_mask = 0;
    lcache_enabled = 0;
}

void lcache_restore_cache(void) {
    // Without an if table there is no cache to return to (never
    // initialised, or cleaned up).
    if (lcache_enabled || !lc::table_exists(lcache.if_table))
        return;
    lcache.attr.sync_mask = lcache_do_sync;
    lcache_enabled = 1;
}

uint32_t lcache_is_enabled(void) { return lcache_enabled; }

void lcache_set_print(lcache_print_fn debug_print, uint32_t arg) { set_print(debug_print, arg); }

void lcache_attr_set_debug_print_arg(lcache_print_fn debug_print, uint32_t arg) {
    set_print(debug_print, arg);
}

void lcache_attr_get_debug_print_arg(lcache_print_fn *debug_print, uint32_t *arg) {
    if (debug_print)
        *debug_print = lcache.attr.debug_print;
    if (arg)
        *arg = lcache.attr.debug_print_arg;
}

const char *__lcache_mem_type_t_find(uint32_t value) { return mem_type_name(value); }

uint32_t __lcache_mem_type_t_str2enum(const char *name) {
    if (!name)
        return 0;
    for (const MemType *row = kMemTypes; row->name[0] != '\0'; ++row)
        if (strcasecmp(row->name, name) == 0)
            return row->value;
    return 0;
}
}
