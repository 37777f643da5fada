// SPDX-License-Identifier: MIT
#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "fuzz_state.h"
#include "invariants.h"

namespace lcfuzz {

namespace {

// Where a key comes from.
enum Source : uint8_t { kModel, kCache, kRaw, kSmall, kSources };

template <class T> T *pick_from(State &s, const std::vector<void *> &all) {
    if (all.empty())
        return nullptr;
    return static_cast<T *>(all[s.in.below(static_cast<uint32_t>(all.size()))]);
}

// `field` of a model interface, of a cached entry, a raw value, or a small
// one (0 and the "none" values among them).
uint32_t key(State &s, uint32_t sim::Interface::*model_field,
             uint32_t lcache_if_entry_t::*cache_field) {
    switch (s.in.below(kSources)) {
    case kModel:
        if (const sim::Interface *itf = s.interface())
            return itf->*model_field;
        return 0;
    case kCache:
        if (const lcache_if_entry_t *e = s.entry())
            return e->*cache_field;
        return 0;
    case kRaw: return s.in.u32();
    default: return s.in.flag() ? 0xFFFFFFFFu : s.in.u8();
    }
}

// Every text the library formats is formatted once more here, so a bad
// argument for its format shows up under the sanitizers.
char sink_text[512];

[[gnu::format(printf, 2, 3)]] int print_sink(uint32_t, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = vsnprintf(sink_text, sizeof sink_text, fmt, ap);
    va_end(ap);
    return n;
}

[[gnu::format(printf, 1, 2)]] int printf_sink(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = vsnprintf(sink_text, sizeof sink_text, fmt, ap);
    va_end(ap);
    return n;
}

uint32_t ext_identity(uint32_t data, uint32_t) { return data; }
uint32_t ext_mix(uint32_t data, uint32_t size) { return data ^ (size << 16); }

} // namespace

uint32_t State::ifindex() {
    return key(*this, &sim::Interface::ifindex, &lcache_if_entry_t::if_index);
}
uint32_t State::iod() { return key(*this, &sim::Interface::iod, &lcache_if_entry_t::iod); }
uint32_t State::pi() { return key(*this, &sim::Interface::pi, &lcache_if_entry_t::pi); }
uint32_t State::lif() { return key(*this, &sim::Interface::lif, &lcache_if_entry_t::lif); }

uint16_t State::vlan() {
    switch (in.below(kSources)) {
    case kModel: {
        const auto &vlans = model.vlans();
        if (vlans.empty())
            return 0;
        return std::next(vlans.begin(), in.below(static_cast<uint32_t>(vlans.size())))->first;
    }
    case kCache:
        if (const lcache_vlan_entry_t *e = vlan_entry())
            return e->vlan;
        return 0;
    default: return in.u16();
    }
}

const sim::Interface *State::interface() {
    const auto &all = model.interfaces();
    if (all.empty())
        return nullptr;
    return &std::next(all.begin(), in.below(static_cast<uint32_t>(all.size())))->second;
}

lcache_if_entry_t *State::entry() {
    return pick_from<lcache_if_entry_t>(*this, lcinv::table_entries(lcache.if_table));
}

lcache_vlan_entry_t *State::vlan_entry() {
    return pick_from<lcache_vlan_entry_t>(*this, lcinv::table_entries(lcache.vlan_table));
}

uint32_t State::owner_key() { return in.flag() ? lcache.attr.ext_key[in.below(4)] : in.u32(); }

lcache_print_fn pick_print(State &s) { return s.in.flag() ? print_sink : nullptr; }
lcache_printf_fn pick_printf(State &s) { return s.in.flag() ? printf_sink : nullptr; }

lcache_ext_fn pick_ext_fn(State &s) {
    switch (s.in.below(3)) {
    case 0: return ext_identity;
    case 1: return ext_mix;
    default: return nullptr;
    }
}

} // namespace lcfuzz
