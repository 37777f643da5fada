// SPDX-License-Identifier: MIT
// Helpers shared by the change notifications.
#pragma once

#include <cstddef>
#include <cstring>

#include "lcache_attrs.h"
#include "lcache_key_attrs.h"

namespace lc {

// A change record is trusted for its layout only.  An update reads just the
// fields it uses, each copied from its offset in the caller's buffer
// (whatever its alignment) into an aligned record of the library's own;
// the other bytes of the record are never touched.
template <class Record, class Field>
void copy_field(Record &copy, const Record *msg, Field Record::*field) {
    Field &to = copy.*field;
    const size_t offset = static_cast<size_t>(reinterpret_cast<unsigned char *>(&to) -
                                              reinterpret_cast<unsigned char *>(&copy));
    memcpy(&to, reinterpret_cast<const unsigned char *>(msg) + offset, sizeof to);
}

template <class Record, class... Fields>
Record read_fields(const Record *msg, Fields Record::*...fields) {
    Record copy{};
    (copy_field(copy, msg, fields), ...);
    return copy;
}

// The fields of an L2 record that both L2 updates use.
template <class... More>
lcache_l2_msg_t read_l2_record(const lcache_l2_msg_t *msg, More lcache_l2_msg_t::*...more) {
    using M = lcache_l2_msg_t;
    return read_fields(msg, &M::iod, &M::state, &M::mode_flags, &M::mac, &M::mtu, &M::vlan_a,
                       &M::vlan_b, more...);
}

// Notifications find their entry by iod and never create one on the way.
inline lcache_if_entry_t *notified_entry(uint32_t iod) { return lookup(kIodTable, iod); }

// Refetches a flag the notification says changed: its answer is fresh,
// and counted as an update.
template <class Row> void refetch_notified(lcache_if_entry_t &entry, const Row &a) {
    store_fresh(entry, a, ask(entry, a));
    count_update(a);
}

// Stores a value the notification carries (or implies) when the attribute
// is kept, counting the update.  The value is not vouched for: its bit
// stays as it is.
template <class Row, class Answer>
void store_notified(lcache_if_entry_t &entry, const Row &a, Answer answer) {
    if (!kept(a))
        return;
    count_update(a);
    store(entry, a, answer);
}

// The same for a value the notification implies without carrying it: it
// is asked of its owner, only when kept.
template <class Row> void ask_notified(lcache_if_entry_t &entry, const Row &a) {
    if (!kept(a))
        return;
    count_update(a);
    store(entry, a, ask(entry, a));
}

// The pi and lif follow another interface (a bundle's member, a
// sub-interface's parent): mark exactly the kept ones dirty so the next
// refresh asks and re-maps them.
inline void redo_hardware_keys(lcache_if_entry_t &entry) {
    constexpr uint32_t keys = key_bit(kPiKey) | key_bit(kLifKey);
    set_dirty(entry, (entry.dirty & ~keys) | (lcache.attr.sync_mask & keys));
}

// The values an L2 record carries (MAC, MTU, VLAN) and the switchport and
// switching flags, each stored when the attribute is kept.  Stored values
// do not clean their bits.
void store_l2_record(lcache_if_entry_t &entry, const lcache_l2_msg_t &msg);

} // namespace lc
