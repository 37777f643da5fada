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

void note_touch(lcache_if_entry_t *entry);
void note_added(lcache_if_entry_t *entry);
void note_released(lcache_if_entry_t *entry);
void note_renamed(lcache_if_entry_t *entry);
void note_touch(lcache_vlan_entry_t *entry);
void note_added(lcache_vlan_entry_t *entry);
void note_released(lcache_vlan_entry_t *entry);
void deliver_changes();

// Call before an entry's values, keys or dirty bits change: the first
// call of an operation keeps the values the event's `before` shows.
inline void touched(lcache_if_entry_t &entry) {
    if (if_watch_count)
        note_touch(&entry);
}
inline void touched(lcache_vlan_entry_t &entry) {
    if (vlan_watch_count)
        note_touch(&entry);
}
// A new entry, before anything is stored in it.
inline void added(lcache_if_entry_t &entry) {
    if (if_watch_count)
        note_added(&entry);
}
inline void added(lcache_vlan_entry_t &entry) {
    if (vlan_watch_count)
        note_added(&entry);
}
// An entry about to go back to the memory tracker.
inline void released(lcache_if_entry_t &entry) {
    if (if_watch_count)
        note_released(&entry);
}
inline void released(lcache_vlan_entry_t &entry) {
    if (vlan_watch_count)
        note_released(&entry);
}

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
