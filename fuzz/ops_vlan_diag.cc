// SPDX-License-Identifier: MIT
// The VLAN cache and the diagnostics.
#include "fuzz_state.h"
#include "vlan_mgr.h"

namespace lcfuzz {

namespace {

uint32_t option(State &s) { return s.in.flag() ? s.in.below(5) : s.in.u32(); }

void vlan_query(State &s) {
    uint16_t bd = 0;
    uint32_t out = 0;
    switch (s.in.below(3)) {
    case 0: {
        vlan_key_t key;
        key.slice = s.in.flag() ? s.model.slice() : s.in.u16();
        key.vlan = s.in.flag() ? s.vlan() : s.in.u32();
        lcache_vlan_get_bd(key, &bd);
        break;
    }
    case 1: lcache_pvlan_get_pvlan(s.in.flag() ? s.vlan() : s.in.u32(), &out); break;
    default: lcache_vlan_to_flood_di(s.vlan(), &out, &bd); break;
    }
}

void vlan_keyed(State &s) {
    const uint16_t vlan = s.vlan();
    switch (s.in.below(5)) {
    case 0: lcache_vlan_create_entry_by_vlan(vlan); break;
    case 1: lcache_vlan_flush_vlan(vlan, option(s)); break;
    case 2: lcache_vlan_update_vlan(vlan); break;
    case 3: lcache_vlan_remove_entry_by_vlan(vlan); break;
    default: lcache_vlan_flush_all(option(s)); break;
    }
}

// The entry operations on an entry the VLAN table holds, or on NULL.  An
// insert of a held entry is refused; a delete releases it.
void vlan_entry(State &s) {
    lcache_vlan_entry_t *e = s.in.below(8) ? s.vlan_entry() : nullptr;
    switch (s.in.below(4)) {
    case 0: lcache_vlan_insert_entry(e); break;
    case 1: lcache_vlan_delete_entry(e); break;
    case 2: lcache_vlan_update_entry(e); break;
    default: lcache_flush_vlan_entry(e, option(s)); break;
    }
}

// A table of interface entries (or NULL) for the interface printers, any
// table for the statistics.
ht_table_t *if_table(State &s) {
    ht_table_t *const tables[] = {&lcache.if_table, &lcache.iod_table, &lcache.pi_table,
                                  &lcache.lif_table, nullptr};
    return tables[s.in.below(std::size(tables))];
}
ht_table_t *vlan_table(State &s) { return s.in.below(8) ? &lcache.vlan_table : nullptr; }
ht_table_t *any_table(State &s) { return s.in.flag() ? vlan_table(s) : if_table(s); }

void diagnostics(State &s) {
    switch (s.in.below(13)) {
    case 0: lcache_if_entry_print(s.in.below(8) ? s.entry() : nullptr); break;
    case 1: lcache_if_print_table(if_table(s)); break;
    case 2: lcache_iod_print_table(if_table(s)); break;
    case 3: lcache_pi_print_table(if_table(s)); break;
    case 4: lcache_lif_print_table(if_table(s)); break;
    case 5: lcache_if_print_iod(s.iod()); break;
    case 6: lcache_if_dump(); break;
    case 7: lcache_vlan_entry_print(s.in.below(8) ? s.vlan_entry() : nullptr); break;
    case 8: lcache_vlan_print_table(vlan_table(s)); break;
    case 9: lcache_vlan_print(s.vlan()); break;
    case 10: lcache_print_global(); break;
    case 11: lcache_print_stats(any_table(s)); break;
    default: s.in.flag() ? lcache_dump() : lcache_vlan_dump(); break;
    }
}

constexpr OpDesc kOps[] = {
    {"vlan_query", vlan_query},
    {"vlan_keyed", vlan_keyed},
    {"vlan_entry", vlan_entry},
    {"diagnostics", diagnostics},
};

} // namespace

std::span<const OpDesc> vlan_diag_ops() { return kOps; }

} // namespace lcfuzz
