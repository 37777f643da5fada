// SPDX-License-Identifier: MIT
#include "invariants.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>

#include "mtrack.h"

namespace lcinv {

namespace {

using Problems = std::vector<std::string>;

// An interface table: where its key lives in an entry and what "no key" is.
struct IfTable {
    const char *name;
    ht_table_t lcache_t::*table;
    uint32_t lcache_if_entry_t::*key;
    uint32_t bit; // 0: the if table, which always exists
    uint32_t none;
    // The interface manager may answer iod 0 with success; the entry is
    // then held under 0 like under any other iod.
    bool may_hold_none;
};

constexpr IfTable kIfTables[] = {
    {"if", &lcache_t::if_table, &lcache_if_entry_t::if_index, 0, 0, false},
    {"iod", &lcache_t::iod_table, &lcache_if_entry_t::iod, LCACHE_ATTR_IOD, LCACHE_NO_IOD, true},
    {"pi", &lcache_t::pi_table, &lcache_if_entry_t::pi, LCACHE_ATTR_PI, LCACHE_NO_PI, false},
    {"lif", &lcache_t::lif_table, &lcache_if_entry_t::lif, LCACHE_ATTR_LIF, LCACHE_NO_LIF, false},
};

[[gnu::format(printf, 1, 2)]] std::string format(const char *fmt, ...) {
    char text[200];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return text;
}

bool all_zero(const ht_table_t &table) {
    static const ht_table_t zero{};
    return memcmp(&table, &zero, sizeof table) == 0;
}

void check_untouched(const char *name, const ht_table_t &table, bool creatable, Problems &out) {
    if (table.buckets && !creatable)
        out.push_back(std::string(name) + " table exists although no operation may create it");
    else if (!table.buckets && !all_zero(table))
        out.push_back(std::string(name) + " table was never created but its object changed");
}

// Walks the chains, checking their links and that every entry sits in the
// bucket its key hashes to.  `key_of` reads the key of an entry.
template <class KeyOf>
std::vector<void *> walk(const char *name, const ht_table_t &table, KeyOf key_of, Problems &out) {
    std::vector<void *> entries;
    const size_t limit = size_t{table.num_entries} + 1; // a cycle must not hang the check
    for (uint32_t b = 0; table.buckets && b < table.num_buckets; ++b) {
        ht_link_t *const *expected_pprev = &table.buckets[b];
        for (ht_link_t *link = table.buckets[b]; link; link = link->next) {
            if (entries.size() == limit) {
                out.push_back(format("%s table holds more entries than it counts", name));
                return entries;
            }
            void *entry = reinterpret_cast<char *>(link) - table.link_offset;
            if (link->pprev != expected_pprev)
                out.push_back(format("%s table: broken back link in bucket %u", name, b));
            if (key_of(entry) % table.num_buckets != b)
                out.push_back(
                    format("%s table: key 0x%x sits in bucket %u", name, key_of(entry), b));
            entries.push_back(entry);
            expected_pprev = &link->next;
        }
    }
    if (entries.size() != table.num_entries)
        out.push_back(format("%s table counts %u entries, its chains hold %zu", name,
                             table.num_entries, entries.size()));
    return entries;
}

std::vector<void *> walk_if_table(const IfTable &t, Problems &out) {
    const auto key_of = [&](void *e) { return static_cast<lcache_if_entry_t *>(e)->*t.key; };
    return walk(t.name, lcache.*t.table, key_of, out);
}

uint64_t live_blocks(lcache_mem_type_t type) {
    mtrack_usage_t usage;
    mtrack_get_usage(LCACHE_MTRACK_ID, type, &usage);
    return usage.live_blocks;
}

// Membership of every interface entry, table by table.
struct Membership {
    std::map<const void *, uint32_t> tables; // entry -> bits of the tables holding it
};

void check_keys(const IfTable &t, const std::vector<void *> &entries, Membership &m,
                Problems &out) {
    std::set<uint32_t> seen;
    for (void *p : entries) {
        const auto *e = static_cast<const lcache_if_entry_t *>(p);
        const uint32_t key = e->*t.key;
        if (!seen.insert(key).second)
            out.push_back(format("%s table holds key 0x%x twice", t.name, key));
        if (t.bit && key == t.none && !t.may_hold_none)
            out.push_back(format("%s table holds if 0x%x under no key", t.name, e->if_index));
        m.tables[p] |= t.bit ? t.bit : LCACHE_ATTR_IF_INDEX;
    }
}

void check_entries(const Membership &m, const Expectations &expect, Problems &out) {
    for (const auto &[p, bits] : m.tables) {
        const auto *e = static_cast<const lcache_if_entry_t *>(p);
        const bool in_if = bits & LCACHE_ATTR_IF_INDEX;
        if (!in_if && !expect.orphans.count(p))
            out.push_back(
                format("if 0x%x is held by a keyed table but not by the if table", e->if_index));
        const int holders = __builtin_popcount(bits);
        if (e->ref_count != holders)
            out.push_back(format("if 0x%x: ref_count %d but %d tables hold it", e->if_index,
                                 e->ref_count, holders));
        if (!in_if)
            continue;
        for (const IfTable &t : kIfTables) {
            const bool has_key = e->*t.key != t.none;
            const bool held = bits & t.bit;
            if (t.bit && (has_key ? !held : held && !t.may_hold_none))
                out.push_back(format("if 0x%x: %s key 0x%x and %s table membership disagree",
                                     e->if_index, t.name, e->*t.key, t.name));
        }
    }
}

void check_vlans(const Expectations &expect, Problems &out) {
    const ht_table_t &table = lcache.vlan_table;
    check_untouched("vlan", table, expect.creatable & LCACHE_ATTR_VLAN, out);
    const auto key_of = [](void *e) {
        return uint32_t{static_cast<lcache_vlan_entry_t *>(e)->vlan};
    };
    std::set<uint32_t> seen;
    for (void *e : walk("vlan", table, key_of, out))
        if (!seen.insert(key_of(e)).second)
            out.push_back(format("vlan table holds VLAN %u twice", key_of(e)));
    const uint64_t live = live_blocks(LCACHE_MEM_lcache_vlan_entry_t);
    if (live != table.num_entries)
        out.push_back(format("%llu live VLAN blocks for %u VLAN entries",
                             static_cast<unsigned long long>(live), table.num_entries));
}

} // namespace

std::vector<void *> table_entries(const ht_table_t &table) {
    std::vector<void *> entries;
    for (uint32_t b = 0; table.buckets && b < table.num_buckets; ++b)
        for (ht_link_t *link = table.buckets[b]; link; link = link->next)
            entries.push_back(reinterpret_cast<char *>(link) - table.link_offset);
    return entries;
}

std::vector<std::string> check(const Expectations &expect) {
    Problems out;
    Membership m;
    for (const IfTable &t : kIfTables) {
        if (t.bit)
            check_untouched(t.name, lcache.*t.table, expect.creatable & t.bit, out);
        check_keys(t, walk_if_table(t, out), m, out);
    }
    check_entries(m, expect, out);
    const uint64_t live = live_blocks(LCACHE_MEM_lcache_if_entry_t);
    const uint64_t expected = lcache.if_table.num_entries + expect.orphans.size();
    if (live != expected)
        out.push_back(format("%llu live interface blocks for %llu entries and orphans",
                             static_cast<unsigned long long>(live),
                             static_cast<unsigned long long>(expected)));
    check_vlans(expect, out);
    return out;
}

} // namespace lcinv
