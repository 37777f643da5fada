// SPDX-License-Identifier: MIT
// Change subscriptions: the watches, the journal of the operation in
// progress, and the delivery of one event per changed entry when the
// outermost operation ends.
#include "lcache_watch.h"
#include "lcache_attrs.h"
#include "lcache_key_attrs.h"
#include "lcache_notify.h"
#include "lcache_watch_registry.h"

namespace lc {

uint32_t if_watch_count;
uint32_t vlan_watch_count;
uint32_t change_depth;
bool changes_pending;

namespace {

Watches<lcache_watch_fn> if_watches{if_watch_count};
Watches<lcache_vlan_watch_fn> vlan_watches{vlan_watch_count};
Journal<lcache_if_entry_t> if_journal;
Journal<lcache_vlan_entry_t> vlan_journal;
bool delivering;
// A change could not be recorded: the rest of the operation is not
// recorded either, since a later record would show a wrong `before`.
bool lost;
uint32_t begun; // lcache_watch_begin calls not yet ended

// A journal larger than this goes back to the tracker after its delivery:
// a flush of every entry must not pin a copy of the whole cache.
constexpr uint32_t kKeptRecords = 64;

// Bits an interface event can carry: every attribute but the VLAN cache's.
constexpr uint32_t kVlanCacheBits = LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX;
constexpr uint32_t kIfEventBits = ~kVlanCacheBits;

template <class Row>
uint32_t differs(const lcache_if_entry_t &a, const lcache_if_entry_t &b, const Row &row) {
    return same(a, b, row.field) ? 0 : row.bit;
}

uint32_t key_differs(const lcache_if_entry_t &a, const lcache_if_entry_t &b, const KeyAttr &k) {
    return key_of(k.table, a) == key_of(k.table, b) ? 0 : key_bit(k);
}

template <class... Rows>
uint32_t rows_differ(const lcache_if_entry_t &a, const lcache_if_entry_t &b, const Rows &...rows) {
    return (differs(a, b, rows) | ...);
}

// The attributes whose cached values differ between two copies of an entry.
uint32_t changed_values(const lcache_if_entry_t &a, const lcache_if_entry_t &b) {
    const uint32_t if_index = a.if_index == b.if_index ? 0 : LCACHE_ATTR_IF_INDEX;
    return if_index | key_differs(a, b, kIodKey) | key_differs(a, b, kPiKey) |
           key_differs(a, b, kLifKey) |
           rows_differ(a, b, kSwitchport, kSwitching, kLinkup, kProtoup, kEthernet, kIsVlan, kNull,
                       kP2p, kLoopback, kIps, kEncap, kMtu, kContext, kBaseTid, kVlan, kVlanInfo,
                       kAggIf, kIfType, kMac, kExt, kExt1, kExt2, kExt3);
}

uint32_t changed_values(const lcache_vlan_entry_t &a, const lcache_vlan_entry_t &b) {
    return (a.pvlan == b.pvlan ? 0 : LCACHE_ATTR_PVLAN) | (a.bd == b.bd ? 0 : LCACHE_ATTR_BD) |
           (a.fi == b.fi ? 0 : LCACHE_ATTR_FINDEX);
}

// Bits newly dirty whose value did not change: stale, with nothing new.
template <class Entry>
uint32_t newly_stale(const Entry &before, const Entry &after, uint32_t changed, uint32_t bits) {
    return after.dirty & ~before.dirty & ~changed & bits;
}

// Records `what` in the entry's record of this operation.  A released
// entry's record keeps its values; one created in the same operation
// leaves no trace.  Once a record could not be had, nothing more of the
// operation is recorded.
template <class Entry> void record(Journal<Entry> &journal, Entry *entry, Note what) {
    changes_pending = true;
    if (lost)
        return;
    Change<Entry> *c = what == Note::added ? journal.append_added(entry) : journal.open(entry);
    if (!c) {
        lost = true;
        LC_ERROR_AS("lcache_watch", "No memory to record a change: its event is lost\n");
        return;
    }
    if (what == Note::released) {
        c->released = true;
        c->live = nullptr;
    } else if (what == Note::renamed) {
        c->noted |= LCACHE_ATTR_NAME;
    }
}

// The event of one record: what the watches hear, and the bits that
// select them (ADDED and REMOVED reach every watch).
struct Delivery {
    uint32_t event = 0;
    uint32_t changed = 0;
    uint32_t stale = 0;
};

template <class Entry>
Delivery judge(const Change<Entry> &c, const Entry &after, uint32_t event_bits) {
    if (c.added)
        return {LCACHE_CHANGE_ADDED};
    if (c.released)
        return {LCACHE_CHANGE_REMOVED};
    const uint32_t changed = (changed_values(c.before, after) | c.noted) & event_bits;
    const uint32_t stale = newly_stale(c.before, after, changed, event_bits);
    if (!changed && !stale)
        return {};
    return {LCACHE_CHANGE_UPDATED, changed, stale};
}

// What differs between the two kinds of event: the bits they carry, who
// hears them, and how the record names its entry.
lcache_change_t make_event(const Delivery &d, const lcache_if_entry_t &named,
                           const lcache_if_entry_t *before, const lcache_if_entry_t *after) {
    return {d.event, named.iod, named.if_index, d.changed, d.stale, before, after};
}
lcache_vlan_change_t make_event(const Delivery &d, const lcache_vlan_entry_t &named,
                                const lcache_vlan_entry_t *before,
                                const lcache_vlan_entry_t *after) {
    return {d.event, named.vlan, d.changed, d.stale, before, after};
}
auto &watches_of(const lcache_if_entry_t &) { return if_watches; }
auto &watches_of(const lcache_vlan_entry_t &) { return vlan_watches; }
constexpr uint32_t event_bits(const lcache_if_entry_t &) { return kIfEventBits; }
constexpr uint32_t event_bits(const lcache_vlan_entry_t &) { return kVlanCacheBits; }

// One record's event, to every watch it concerns.  `after` is a copy: a
// callback may change the live entry while later watches hear this event.
template <class Entry> void deliver(const Change<Entry> &c) {
    if (c.added && c.released)
        return;
    Entry after{};
    if (c.live)
        after = *c.live;
    const Delivery d = judge(c, after, event_bits(after));
    if (!d.event)
        return;
    const auto event = make_event(d, c.released ? c.before : after, c.added ? nullptr : &c.before,
                                  c.released ? nullptr : &after);
    const CallbackScope in_callback;
    const bool to_all = d.event != LCACHE_CHANGE_UPDATED;
    watches_of(after).tell(event, d.changed | d.stale, to_all);
}

template <class Entry> void finish(Journal<Entry> &journal, uint32_t capacity) {
    if (capacity > kKeptRecords)
        journal.release();
    else
        journal.clear();
}

} // namespace

void note(lcache_if_entry_t *entry, Note what) { record(if_journal, entry, what); }
void note(lcache_vlan_entry_t *entry, Note what) { record(vlan_journal, entry, what); }

// A callback's own changes are appended to the journals and delivered by
// this same loop, after what was already pending: never from inside the
// callback, so no callback is re-entered.
void deliver_changes() {
    if (delivering)
        return;
    delivering = true;
    while (if_journal.has_undelivered() || vlan_journal.has_undelivered()) {
        while (if_journal.has_undelivered())
            deliver(if_journal.seal_next());
        while (vlan_journal.has_undelivered())
            deliver(vlan_journal.seal_next());
    }
    finish(if_journal, if_journal.capacity());
    finish(vlan_journal, vlan_journal.capacity());
    changes_pending = false;
    lost = false;
    delivering = false;
    if_watches.compact();
    vlan_watches.compact();
}

void forget_changes() {
    if_journal.release();
    vlan_journal.release();
    changes_pending = false;
    lost = false;
}

void drop_watches() {
    if_watches.release();
    vlan_watches.release();
}

} // namespace lc

namespace {

template <class Watches> int remove_watch(Watches &watches, int handle) {
    const int result = watches.remove(handle);
    if (result == 0 && !lc::delivering)
        watches.compact();
    return result;
}

} // namespace

extern "C" {

int lcache_watch_add(uint32_t mask, lcache_watch_fn fn, void *arg) {
    if (!fn)
        return -EINVAL;
    return lc::if_watches.add(mask, fn, arg);
}

int lcache_watch_remove(int handle) { return remove_watch(lc::if_watches, handle); }

int lcache_vlan_watch_add(uint32_t mask, lcache_vlan_watch_fn fn, void *arg) {
    if (!fn)
        return -EINVAL;
    return lc::vlan_watches.add(mask, fn, arg);
}

int lcache_vlan_watch_remove(int handle) { return remove_watch(lc::vlan_watches, handle); }

void lcache_watch_begin(void) {
    ++lc::begun;
    ++lc::change_depth;
}

int lcache_watch_end(void) {
    if (lc::begun == 0)
        return -EINVAL;
    --lc::begun;
    --lc::change_depth;
    lc::publish_changes();
    return 0;
}

int32_t lcache_update_name(uint32_t iod) {
    if (!lcache_enabled)
        return LCACHE_NOTIFY_IGNORED;
    LC_TRACE("name update for interface %s (iod %d)\n", netif_get_if_name(iod), iod);
    lcache_if_entry_t *entry = lc::notified_entry(iod);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    const lc::ChangeScope op;
    lc::tell_journal(*entry, lc::Note::renamed);
    return LCACHE_NOTIFY_APPLIED;
}
}
