// The three cached attributes of a VLAN, one row each: its bit, the
// statistics rows of its query and of the refresh, and how its owners are
// asked.  A fetch writes the peers' answers straight into the entry and
// is final only when every call succeeded.  The refresh and the queries
// report a failed call in words of their own, so each has its fetch.
#pragma once

#include "lcache_vlan_internal.h"

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

struct VlanServed {
    lcache_vlan_entry_t *entry; // NULL: the peers answer
    bool stale;                 // the entry must fetch the value before answering
    bool kept;                  // sync_mask has the attribute
};

// The one gate of the VLAN queries: the attribute kept and an entry had
// (found, or created, and refreshed when dirty).  A closed gate, a missing
// entry and a stale value count a miss of the attribute's query row, a
// fresh value a hit.
[[gnu::always_inline]] inline VlanServed serve_vlan(const VlanAttr &a, uint16_t vlan) {
    const bool kept = lcache.attr.sync_mask & a.bit;
    lcache_vlan_entry_t *entry = kept ? vlan_entry(vlan) : nullptr;
    if (!entry) {
        ++lcache.stats.vlan_misses[a.queried];
        return {nullptr, false, kept};
    }
    if (entry->dirty & a.bit) {
        ++lcache.stats.vlan_misses[a.queried];
        return {entry, true, kept};
    }
    ++lcache.stats.vlan_hits[a.queried];
    return {entry, false, kept};
}

// A query's own fetch of a stale value; its bit clears when it is final.
inline void refetch(lcache_vlan_entry_t &e, const VlanAttr &a, const vlan_key_t &key) {
    if (a.refetch(e, key))
        e.dirty &= ~a.bit;
}

} // namespace lc
