// SPDX-License-Identifier: MIT
#include "snapshot.h"

#include <algorithm>

#include "bridge_state.h"
#include "held_links.h"
#include "numbering.h"

namespace lcache_linux {
namespace {

// Calls `on_entry(entry)` for every entry of `table`, after collecting
// them, so that `on_entry` may remove it.  False without memory.
template <typename Entry, typename Key, typename F>
bool for_each_cached(ht_table_t &table, Key (*key_of)(const Entry &), F &&on_entry) {
    PlainArray<Key> keys;
    if (!keys.reserve(table.num_entries))
        return false;
    ht_iterator_t it;
    if (table.num_entries && ht_iterator_init(&it, &table, 0, table.num_buckets)) {
        while (auto *entry = static_cast<Entry *>(ht_iterator_next(&it, 0)))
            keys.push_back(key_of(*entry));
    }
    for (Key key : keys)
        on_entry(key);
    return true;
}

uint32_t if_index_of(const lcache_if_entry_t &entry) { return entry.if_index; }
uint16_t vlan_of(const lcache_vlan_entry_t &entry) { return entry.vlan; }

void remove_vanished_interfaces(const LinkSet &links) {
    bool listed = for_each_cached(lcache.if_table, if_index_of, [&](uint32_t if_index) {
        const LinkInfo *link = find_link(links, kernel_index(if_index));
        if (!link || os_ifindex(*link) != if_index)
            lcache_if_remove_entry_by_if(if_index);
    });
    if (!listed) {
        // Entries that vanished stay, stale: their next question finds them gone.
        ++bridge().counters.allocation_failures;
        lcache_if_flush_all(kFlushEverything);
    }
}

void merge_vlans(const VlanSet &vlans, Apply how) {
    if (!(lcache.attr.sync_mask & LCACHE_ATTR_VLAN))
        return;
    auto present = [&](uint16_t vid) {
        return std::any_of(vlans.begin(), vlans.end(),
                           [vid](const PortVlan &vlan) { return vlan.vid == vid; });
    };
    bool listed = for_each_cached(lcache.vlan_table, vlan_of, [&](uint16_t vid) {
        if (!present(vid))
            lcache_vlan_remove_entry_by_vlan(vid);
    });
    if (!listed) {
        ++bridge().counters.allocation_failures;
        lcache_vlan_flush_all(kFlushEverything);
    }
    if (how == Apply::update)
        return;
    for (const PortVlan &vlan : vlans)
        lcache_vlan_create_entry_by_vlan(vlan.vid);
}

void learn_bonds(const LinkSet &links) {
    BondMembers &bonds = bridge().bond_of_member;
    bonds.clear();
    for (const LinkInfo &link : links) {
        if (is_bond_member(link) && !bonds.set(link.index, link.master))
            ++bridge().counters.allocation_failures;
    }
}

// The kernel ifindex of every link whose name is not the one kept for it,
// in the dump's order; asked before the dump's names replace the kept ones.
void find_renamed(const LinkSet &links, PlainArray<uint32_t> &renamed) {
    for (const LinkInfo &link : links) {
        if (peers_kept_other_name(link) && !renamed.push_back(link.index)) {
            // The rename goes unheard; what the cache holds stays right.
            ++bridge().counters.allocation_failures;
        }
    }
}

} // namespace

bool take_snapshot(Snapshot &snapshot) {
    snapshot.vlans.clear();
    if (dump_links(snapshot.links) != Fetch::ok)
        return false;
    bool filtering = std::any_of(snapshot.links.begin(), snapshot.links.end(),
                                 [](const LinkInfo &link) { return link.vlan_filtering; });
    return !filtering || dump_bridge_vlans(snapshot.vlans) == Fetch::ok;
}

size_t merge_snapshot(const Snapshot &snapshot, Apply how) {
    peers_forget_answers();
    PlainArray<uint32_t> renamed;
    find_renamed(snapshot.links, renamed);
    if (!peers_renamed_all(&snapshot.links))
        ++bridge().counters.allocation_failures;
    learn_bonds(snapshot.links);
    if (!lcache_enabled)
        return 0;
    Held held(snapshot.links, &snapshot.vlans);
    remove_vanished_interfaces(snapshot.links);
    size_t held_interfaces = 0;
    const uint32_t *next_renamed = renamed.begin();
    for (const LinkInfo &link : snapshot.links) {
        bool was_renamed = next_renamed != renamed.end() && *next_renamed == link.index;
        next_renamed += was_renamed;
        OneOperation operation;
        Applied applied = apply_link(link, false, was_renamed, how);
        held_interfaces += applied == Applied::updated || applied == Applied::created;
    }
    merge_vlans(snapshot.vlans, how);
    return held_interfaces;
}

} // namespace lcache_linux
