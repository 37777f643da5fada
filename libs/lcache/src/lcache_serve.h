// SPDX-License-Identifier: MIT
// Who answers a query: the cached entry or the peer.  Every query of an
// interface attribute counts its one hit or miss here.
#pragma once

#include "lcache_attr_row.h"
#include "lcache_create.h"

namespace lc {

enum class Hits : bool { uncounted, counted };

// With the gate `open`, `find` gives the entry (it may create one) and
// `stale` judges its value; a stale value is fetched into the entry by
// `fetch` before the entry answers.  A closed gate, a missing entry and a
// stale value count a miss of `row`; a fresh value a hit, unless hits of
// this kind go uncounted.  Returns the entry that answers, NULL when the
// peer must.  Inlined, so that a hit costs the lookup and the counter.
template <Hits H = Hits::counted, class Find, class Stale, class Fetch>
[[gnu::always_inline]] inline lcache_if_entry_t *serve(bool open, lcache_stat_row_t row, Find find,
                                                       Stale stale, Fetch fetch) {
    lcache_if_entry_t *entry = open ? find() : nullptr;
    if (!entry) {
        ++lcache.stats.misses[row];
        return nullptr;
    }
    if (stale(*entry)) {
        ++lcache.stats.misses[row];
        fetch(*entry);
        publish_changes();
    } else if constexpr (H == Hits::counted) {
        ++lcache.stats.hits[row];
    }
    return entry;
}

// For what a query answers whatever the entry's bits say.
inline constexpr auto kNeverStale = [](const lcache_if_entry_t &) { return false; };
inline constexpr auto kNothingToFetch = [](lcache_if_entry_t &) {};

// For an attribute whose value is stale while its bit is dirty.
template <const auto &A>
inline constexpr auto kStaleWhileDirty = [](const lcache_if_entry_t &e) { return is_dirty(e, A); };

// A query of `A` by iod: gated by its row, stale while its bit is dirty.
template <const auto &A, class Fetch>
[[gnu::always_inline]] inline lcache_if_entry_t *serve_by_iod(uint32_t iod, Fetch fetch) {
    return serve(
        all_set(lcache.attr.sync_mask, A.gate), A.row, [iod] { return find_entry_by_iod(iod); },
        kStaleWhileDirty<A>, fetch);
}

} // namespace lc
