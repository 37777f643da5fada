// SPDX-License-Identifier: MIT
// The three cached attributes of a VLAN, one row each: its bit, the
// statistics rows of its query and of the refresh, and how its owners are
// asked.  A fetch writes the peers' answers straight into the entry and
// is final only when every call succeeded.  The refresh and the queries
// report a failed call in words of their own, so each has its fetch.
#pragma once

#include "lcache_vlan_internal.h"
#include "lcache_watch.h"

namespace lc {

struct VlanAttr {
    uint32_t bit;                   // in the entry's dirty word and the masks
    lcache_vlan_stat_row_t queried; // hits and misses of its query
    lcache_vlan_stat_row_t updated; // the refresh's fetches
    bool (*refresh)(lcache_vlan_entry_t &e, const vlan_key_t &key);
    bool (*refetch)(lcache_vlan_entry_t &e, const vlan_key_t &key);
};

// pvlan and bd; FIndex (the flood index, with the bridge domain it is
// derived from).
bool refresh_pvlan(lcache_vlan_entry_t &e, const vlan_key_t &key);
bool refetch_pvlan(lcache_vlan_entry_t &e, const vlan_key_t &key);
bool refresh_bd(lcache_vlan_entry_t &e, const vlan_key_t &key);
bool refetch_bd(lcache_vlan_entry_t &e, const vlan_key_t &key);
bool refresh_findex(lcache_vlan_entry_t &e, const vlan_key_t &key);
bool refetch_findex(lcache_vlan_entry_t &e, const vlan_key_t &key);

inline constexpr VlanAttr kPvlan{LCACHE_ATTR_PVLAN, LCACHE_VLAN_STAT_PVLAN, LCACHE_VLAN_STAT_PVLAN,
                                 refresh_pvlan, refetch_pvlan};
inline constexpr VlanAttr kBd{LCACHE_ATTR_BD, LCACHE_VLAN_STAT_BD, LCACHE_VLAN_STAT_BD, refresh_bd,
                              refetch_bd};
// Its query counts in the bd row: the FIndex row counts only the refresh.
inline constexpr VlanAttr kFindex{LCACHE_ATTR_FINDEX, LCACHE_VLAN_STAT_BD, LCACHE_VLAN_STAT_FINDEX,
                                  refresh_findex, refetch_findex};

// In the order the refresh fetches them.
inline constexpr const VlanAttr *kVlanAttrs[] = {&kPvlan, &kBd, &kFindex};

inline bool kept(const VlanAttr &a) { return lcache.attr.sync_mask & a.bit; }

// The one gate of the VLAN queries: the attribute kept and an entry had
// (found, or created, and refreshed when dirty).  A value still stale is
// fetched again with the caller's `key`, and its bit clears when every
// call succeeded.  A closed gate, a missing entry and a stale value count
// a miss of the attribute's query row, a fresh value a hit.  Returns the
// entry that answers, NULL when the peers must.
[[gnu::always_inline]] inline lcache_vlan_entry_t *serve_vlan(const VlanAttr &a, uint16_t vlan,
                                                              const vlan_key_t &key) {
    lcache_vlan_entry_t *entry = kept(a) ? vlan_entry(vlan) : nullptr;
    if (!entry) {
        ++lcache.stats.vlan_misses[a.queried];
        return nullptr;
    }
    if (entry->dirty & a.bit) {
        ++lcache.stats.vlan_misses[a.queried];
        touched(*entry);
        if (a.refetch(*entry, key))
            entry->dirty &= ~a.bit;
        publish_changes();
    } else {
        ++lcache.stats.vlan_hits[a.queried];
    }
    return entry;
}

} // namespace lc
