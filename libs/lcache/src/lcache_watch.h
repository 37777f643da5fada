// SPDX-License-Identifier: MIT
// What the rest of the library tells the change subscriptions: an entry
// is about to change, was created, or is about to be released; and where
// an operation ends, so its events can go out.  Without a watch every
// hook is one load and a branch, and nothing is recorded.
#pragma once

#include "lcache_internal.h"

namespace lc {

// Live watches of each kind: nonzero means changes are recorded.
extern uint32_t if_watch_count;
extern uint32_t vlan_watch_count;

// Open operations (ChangeScope and lcache_watch_begin), and whether
// anything recorded waits for delivery.
extern uint32_t change_depth;
extern bool changes_pending;

// What happens to an entry, as the journal of the operation records it.
enum class Note : uint8_t {
    touched,  // about to change: the first note of an operation keeps its values
    added,    // new, nothing stored in it yet
    released, // about to go back to the memory tracker
    renamed,  // its name changed, which no value shows
};
void note(lcache_if_entry_t *entry, Note what);
void note(lcache_vlan_entry_t *entry, Note what);
void deliver_changes();

inline bool watched(const lcache_if_entry_t &) { return if_watch_count != 0; }
inline bool watched(const lcache_vlan_entry_t &) { return vlan_watch_count != 0; }

template <class Entry> void tell_journal(Entry &entry, Note what) {
    if (watched(entry))
        note(&entry, what);
}
// Call before an entry's values, keys or dirty bits change.
template <class Entry> void touched(Entry &entry) { tell_journal(entry, Note::touched); }
// A new entry, before anything is stored in it.
template <class Entry> void added(Entry &entry) { tell_journal(entry, Note::added); }
// An entry about to go back to the memory tracker.
template <class Entry> void released(Entry &entry) { tell_journal(entry, Note::released); }

// Every write of an entry's dirty word: an unchanged word is no change.
inline void set_dirty(lcache_if_entry_t &entry, uint32_t dirty) {
    if (entry.dirty == dirty)
        return;
    touched(entry);
    entry.dirty = dirty;
}

// Delivers what a query outside any operation changed (a fetched value, a
// settled bit).  Nothing to do, the common case, costs a load.
inline void publish_changes() {
    if (changes_pending && change_depth == 0)
        deliver_changes();
}

// One operation: whatever it changes is delivered when the outermost
// scope closes, one event per entry.
struct ChangeScope {
    ChangeScope() { ++change_depth; }
    ~ChangeScope() {
        --change_depth;
        publish_changes();
    }
    ChangeScope(const ChangeScope &) = delete;
    ChangeScope &operator=(const ChangeScope &) = delete;
};

// lcache_init and lcache_cleanup release entries without events: what was
// recorded about them is forgotten.  Cleanup also drops every watch.
void forget_changes();
void drop_watches();

} // namespace lc
