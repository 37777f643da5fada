// SPDX-License-Identifier: MIT
// The three keys that hold an entry besides its ifindex, one row each: the
// table (its bit, the entry's key field), the statistics row, the peer
// that maps an ifindex to the key, and what a translation does when it
// finds the key stale.
#pragma once

#include "dmap.h"
#include "lcache_tables.h"
#include "lcache_watch.h"
#include "lifsvc.h"

namespace lc {

struct KeyAttr {
    const TableDesc &table;
    lcache_stat_row_t row;
    uint32_t (*peer)(uint32_t if_index, uint32_t *key);
    uint64_t lcache_stats_t::*refreshes; // a translation's refreshes of a stale key
    uint32_t refresh_failed;             // its status when that refresh fails
};

inline constexpr KeyAttr kIodKey{kIodTable, LCACHE_STAT_IOD, netif_get_iod_frm_ifindex,
                                 &lcache_stats_t::upd_iod, LCACHE_ERR_IOD_REFRESH};
inline constexpr KeyAttr kPiKey{kPiTable, LCACHE_STAT_PI, dmap_lib_ifidx_to_di,
                                &lcache_stats_t::upd_pi, LCACHE_ERR_PI_REFRESH};
inline constexpr KeyAttr kLifKey{kLifTable, LCACHE_STAT_LIF, lifsvc_query_ifindex_to_lif,
                                 &lcache_stats_t::upd_lif, LCACHE_ERR_LIF_REFRESH};

constexpr uint32_t key_bit(const KeyAttr &k) { return k.table.sync_bit; }

inline bool kept(const KeyAttr &k) { return lcache.attr.sync_mask & key_bit(k); }

inline bool is_dirty(const lcache_if_entry_t &e, const KeyAttr &k) { return e.dirty & key_bit(k); }

// The entry is held under the key its peer gives: the key is fresh.
inline void settle_key(lcache_if_entry_t &e, const KeyAttr &k) { set_dirty(e, e.dirty & ~key_bit(k)); }

inline void count_update(const KeyAttr &k) { ++lcache.stats.updates[k.row]; }

} // namespace lc
