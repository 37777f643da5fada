// SPDX-License-Identifier: MIT
// Start and stop, the switches, the trace settings and the memory types.
#include <cctype>
#include <string>

#include "fuzz_state.h"
#include "invariants.h"

namespace lcfuzz {

namespace {

// Mostly small tables, which keep the walks of the per-operation checks
// cheap; now and then the default (0: 16384 buckets) or another large one.
uint32_t table_size(State &s) {
    static constexpr uint32_t kSmall[] = {1, 2, 7, 64};
    if (s.in.below(32) == 0)
        return s.in.flag() ? 0 : 4096;
    const uint32_t pick = s.in.below(std::size(kSmall) + 1);
    return pick < std::size(kSmall) ? kSmall[pick] : s.in.u8() + 1u;
}

lcache_attr attr_block(State &s) {
    lcache_attr a{};
    a.table_size = table_size(s);
    a.sync_mask = s.in.flag() ? ~0u : s.in.u32();
    a.crit_mask = s.in.u32();
    a.med_mask = s.in.u32();
    a.low_mask = s.in.u32();
    a.once_mask = s.in.u32();
    for (int i = 0; i < 4; ++i) {
        a.ext_fn[i] = pick_ext_fn(s);
        a.ext_key[i] = s.in.flag() ? s.in.u32() : s.in.below(4);
    }
    a.debug_printf = pick_printf(s);
    a.error_printf = pick_printf(s);
    a.debug_print = pick_print(s);
    a.error_print = pick_print(s);
    a.debug_print_arg = s.in.u32();
    a.error_print_arg = s.in.u32();
    a.create_on_miss = s.in.u8();
    a.l3_track = s.in.u8();
    return a;
}

// Now and then the shadow watch is registered right after a successful
// init (watch_state.h).
void init(State &s) {
    if (s.in.below(16) == 0) {
        s.watches.initialised(lcache_init(nullptr) == 1, false);
        return;
    }
    const lcache_attr a = attr_block(s);
    s.creatable = a.sync_mask & lcinv::kTableBits;
    const bool ok = lcache_init(&a) == 1;
    s.watches.initialised(ok, s.in.flag());
}

void cleanup(State &s) {
    s.watches.cleaned_up(lcache_cleanup() == 1);
    s.creatable = 0;
}

void disable(State &) { lcache_disable_cache(); }
void restore(State &) { lcache_restore_cache(); }
void is_enabled(State &) { lcache_is_enabled(); }

void set_print(State &s) {
    const lcache_print_fn fn = pick_print(s);
    if (s.in.flag())
        lcache_set_print(fn, s.in.u32());
    else
        lcache_attr_set_debug_print_arg(fn, s.in.u32());
    lcache_print_fn got = nullptr;
    uint32_t arg = 0;
    lcache_attr_get_debug_print_arg(&got, &arg);
}

void error_cb(State &s) { lcache_error_cb = s.in.below(3); }

// Known names in any case, or raw bytes.
std::string mem_type_name(State &s) {
    static constexpr const char *kNames[] = {"LCACHE_MEM_NONE", "LCACHE_MEM_lcache_if_entry_t",
                                             "LCACHE_MEM_lcache_vlan_entry_t", "LCACHE_MEM_MAX",
                                             ""};
    if (s.in.flag()) {
        const std::vector<uint8_t> raw = s.in.bytes(s.in.below(40));
        return std::string(raw.begin(), raw.end()).c_str();
    }
    std::string name = kNames[s.in.below(std::size(kNames))];
    for (char &c : name)
        if (s.in.flag())
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return name;
}

void mem_types(State &s) {
    __lcache_mem_type_t_find(s.in.flag() ? s.in.below(6) : s.in.u32());
    __lcache_mem_type_t_str2enum(mem_type_name(s).c_str());
}

// lcache_init creates the VLAN table; a client may only call this again
// while there is none.
void vlan_table_init(State &s) {
    if (lcache.vlan_table.buckets)
        return;
    s.creatable |= lcache.attr.sync_mask & LCACHE_ATTR_VLAN;
    lcache_vlan_table_init();
}

constexpr OpDesc kOps[] = {
    {"init", init},         {"cleanup", cleanup},       {"disable", disable},
    {"restore", restore},   {"is_enabled", is_enabled}, {"set_print", set_print},
    {"error_cb", error_cb}, {"mem_types", mem_types},   {"vlan_table_init", vlan_table_init},
};

} // namespace

std::span<const OpDesc> lifecycle_ops() { return kOps; }

} // namespace lcfuzz
