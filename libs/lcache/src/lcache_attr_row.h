// SPDX-License-Identifier: MIT
// The shape of an attribute row, and what every path does with one: where
// an answer lands in the entry, when a fetched answer is final, and how a
// store is counted.  The rows themselves are in lcache_attrs.h.
#pragma once

#include <cstddef>
#include <cstring>

#include "lcache_internal.h"
#include "lcache_watch.h"

namespace lc {

// When a fetched answer is final: its dirty bit clears, and the entry
// answers until something sets the bit again.
enum class Final : uint8_t {
    always,  // every answer
    nonzero, // 0 (an all-zero MAC) is "not available yet": the bit stays
    // As nonzero, and a 0 that a clean entry holds is no answer either:
    // the bit is set again, so the next use asks.
    nonzero_or_stale,
};

// Where an entry keeps an attribute.
struct FlagField { // one bit of flags or flags2: bit 0 of the answer
    uint8_t lcache_if_entry_t::*byte;
    uint8_t mask;
};
template <class T> struct ValueField { // the answer, cut to T
    T lcache_if_entry_t::*member;
};
struct MacField {
    uint8_t (lcache_if_entry_t::*bytes)[6];
};
struct ExtField {  // an extension slot: its value and its private data's size
    unsigned slot; // into ext_fn and ext_key
    uint32_t lcache_if_entry_t::*value;
    uint32_t lcache_if_entry_t::*size;
};
struct NoField {}; // asked every time, never kept

inline void put(lcache_if_entry_t &e, FlagField f, uint32_t answer) {
    if (answer & 1)
        e.*f.byte |= f.mask;
    else
        e.*f.byte &= static_cast<uint8_t>(~f.mask);
}
template <class T> void put(lcache_if_entry_t &e, ValueField<T> f, uint32_t answer) {
    e.*f.member = static_cast<T>(answer);
}
inline void put(lcache_if_entry_t &e, MacField f, const uint8_t *mac) {
    memcpy(e.*f.bytes, mac, sizeof(e.*f.bytes));
}
inline void put(lcache_if_entry_t &e, ExtField f, uint32_t value) { e.*f.value = value; }

inline uint32_t held(const lcache_if_entry_t &e, FlagField f) { return (e.*f.byte & f.mask) != 0; }
template <class T> T held(const lcache_if_entry_t &e, ValueField<T> f) { return e.*f.member; }
inline const uint8_t *held(const lcache_if_entry_t &e, MacField f) { return e.*f.bytes; }
inline uint32_t held(const lcache_if_entry_t &e, ExtField f) { return e.*f.value; }

// Whether the entry holds no usable answer (only a value can be empty).
inline bool empty(const lcache_if_entry_t &, FlagField) { return false; }
template <class T> bool empty(const lcache_if_entry_t &e, ValueField<T> f) {
    return e.*f.member == 0;
}
inline bool empty(const lcache_if_entry_t &e, MacField f) {
    static constexpr uint8_t kNoMac[6] = {};
    return memcmp(e.*f.bytes, kNoMac, sizeof kNoMac) == 0;
}
inline bool empty(const lcache_if_entry_t &e, ExtField f) { return e.*f.value == 0; }

// Whether two copies of an entry hold the same value (a name is never held).
inline bool same(const lcache_if_entry_t &a, const lcache_if_entry_t &b, FlagField f) {
    return held(a, f) == held(b, f);
}
template <class T>
bool same(const lcache_if_entry_t &a, const lcache_if_entry_t &b, ValueField<T> f) {
    return held(a, f) == held(b, f);
}
inline bool same(const lcache_if_entry_t &a, const lcache_if_entry_t &b, MacField f) {
    return memcmp(held(a, f), held(b, f), sizeof(a.*f.bytes)) == 0;
}
inline bool same(const lcache_if_entry_t &a, const lcache_if_entry_t &b, ExtField f) {
    return held(a, f) == held(b, f) && a.*f.size == b.*f.size;
}
inline bool same(const lcache_if_entry_t &, const lcache_if_entry_t &, NoField) { return true; }

// One cached attribute of an interface.
template <class Field, class Peer> struct Attr {
    uint32_t bit;          // in `dirty` and in the five masks
    lcache_stat_row_t row; // its hits, misses and updates
    uint32_t gate;         // sync_mask bits with which a query answers from the entry
    uint32_t refresh_gate; // sync_mask bits without which the refresh leaves it dirty
    Field field;
    Peer peer;       // what its owner is asked, by iod (nullptr: asked in steps of its own)
    Final refreshed; // when the refresh's answer is final
    Final queried;   // when a query's answer is final
};

// A row, its field and peer types taken from the arguments.
template <class F, class P>
constexpr Attr<F, P> attr_row(uint32_t bit, lcache_stat_row_t row, uint32_t gate,
                              uint32_t refresh_gate, F field, P peer, Final refreshed,
                              Final queried) {
    return {bit, row, gate, refresh_gate, field, peer, refreshed, queried};
}

template <class F, class P> bool kept(const Attr<F, P> &a) { return lcache.attr.sync_mask & a.bit; }

template <class F, class P> bool is_dirty(const lcache_if_entry_t &e, const Attr<F, P> &a) {
    return e.dirty & a.bit;
}

template <class F, class P> auto read(const lcache_if_entry_t &e, const Attr<F, P> &a) {
    return held(e, a.field);
}

// Stores an answer without vouching for it: the dirty bit stays as it is.
template <class F, class P, class Answer>
void store(lcache_if_entry_t &e, const Attr<F, P> &a, Answer answer) {
    touched(e);
    put(e, a.field, answer);
}

// Marks what the entry now holds fresh or stale, as `rule` judges it.
template <class F, class P> void settle(lcache_if_entry_t &e, const Attr<F, P> &a, Final rule) {
    if (rule == Final::always || !empty(e, a.field))
        set_dirty(e, e.dirty & ~a.bit);
    else if (rule == Final::nonzero_or_stale)
        set_dirty(e, e.dirty | a.bit);
}

// Stores a fetched answer and settles it by `rule`.
template <class F, class P, class Answer>
void take(lcache_if_entry_t &e, const Attr<F, P> &a, Answer answer, Final rule) {
    store(e, a, answer);
    settle(e, a, rule);
}

// Stores an answer known to be fresh.
template <class F, class P, class Answer>
void store_fresh(lcache_if_entry_t &e, const Attr<F, P> &a, Answer answer) {
    store(e, a, answer);
    set_dirty(e, e.dirty & ~a.bit);
}

// Marks the attribute stale: the next use asks its owner.
template <class F, class P> void mark_stale(lcache_if_entry_t &e, const Attr<F, P> &a) {
    set_dirty(e, e.dirty | a.bit);
}

// Counts a store that answered no query (refresh, notification, setter).
template <class F, class P> void count_update(const Attr<F, P> &a) {
    ++lcache.stats.updates[a.row];
}

// What the owner answers for the entry's attribute.
template <class F, class P> auto ask(const lcache_if_entry_t &e, const Attr<F, P> &a) {
    return a.peer(e.iod);
}

// The refresh's step for one attribute: a dirty one is asked of its owner,
// stored and counted as an update; an answer the row does not take as
// final keeps the bit, so the next refresh asks again.
template <class Row> void refresh_attr(lcache_if_entry_t &e, const Row &a) {
    if (!is_dirty(e, a) || !all_set(lcache.attr.sync_mask, a.refresh_gate))
        return;
    take(e, a, ask(e, a), a.refreshed);
    count_update(a);
}

} // namespace lc
