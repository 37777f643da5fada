// Who answers a query: the cached entry or the peer.  Every query of an
// interface attribute counts its one hit or miss here.
#pragma once

#include "lcache_attr_row.h"
#include "lcache_create.h"

namespace lc {

struct Served {
    lcache_if_entry_t *entry; // NULL: the gate is closed or no entry can be had
    bool stale;               // the entry must fetch the value before answering
};

enum class Hits : bool { uncounted, counted };

// For what a query answers whatever the entry's bits say.
inline constexpr auto kNeverStale = [](const lcache_if_entry_t &) { return false; };

// For an attribute whose value is stale while its bit is dirty.
template <const auto &A>
inline constexpr auto kStaleWhileDirty = [](const lcache_if_entry_t &e) { return is_dirty(e, A); };

// With the gate `open`, `find` gives the entry (it may create one) and
// `stale` judges its value.  A closed gate, a missing entry and a stale
// value count a miss of `row`; a fresh value a hit, unless hits of this
// kind go uncounted.  Inlined, so that a hit costs the lookup and the
// counter.
template <Hits H = Hits::counted, class Find, class Stale>
[[gnu::always_inline]] inline Served serve(bool open, lcache_stat_row_t row, Find find,
                                           Stale stale) {
    lcache_if_entry_t *entry = open ? find() : nullptr;
    if (!entry) {
        ++lcache.stats.misses[row];
        return {nullptr, false};
    }
    if (stale(*entry)) {
        ++lcache.stats.misses[row];
        return {entry, true};
    }
    if constexpr (H == Hits::counted)
        ++lcache.stats.hits[row];
    return {entry, false};
}

// A query of `a` by iod: gated by its row, stale while its bit is dirty.
template <const auto &A> [[gnu::always_inline]] inline Served serve_by_iod(uint32_t iod) {
    return serve(
        all_set(lcache.attr.sync_mask, A.gate), A.row, [iod] { return find_entry_by_iod(iod); },
        kStaleWhileDirty<A>);
}

} // namespace lc
