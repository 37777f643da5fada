// Helpers shared by the change notifications.
#pragma once

#include <cstring>

#include "lcache_attrs.h"
#include "lcache_tables.h"

namespace lc {

// A change record is trusted for its layout only: the library works on its
// own aligned copy, whatever buffer the caller's pointer points into.
template <class Record> Record copy_record(const Record *msg) {
    Record copy;
    memcpy(&copy, msg, sizeof copy);
    return copy;
}

// Notifications find their entry by iod and never create one on the way.
inline lcache_if_entry_t *notified_entry(uint32_t iod) { return lookup(kIodTable, iod); }

// Refetches a flag the notification says changed; the value is fresh, so
// its bit is clean and the store counts as an update.
inline void refetch_notified_flag(lcache_if_entry_t &entry, const FlagAttr &f) {
    fetch_flag(entry, f);
    ++lcache.stats.updates[f.row];
}

// Sets the flag from the record itself, without asking anybody.
inline void set_notified_flag(lcache_if_entry_t &entry, const FlagAttr &f, bool value) {
    store_flag(entry, f, value);
    entry.dirty &= ~f.bit;
    ++lcache.stats.updates[f.row];
}

// The pi and lif follow another interface (a bundle's member, a
// sub-interface's parent): mark exactly the kept ones dirty so the next
// refresh asks and re-maps them.
inline void redo_hardware_keys(lcache_if_entry_t &entry) {
    constexpr uint32_t keys = LCACHE_ATTR_PI | LCACHE_ATTR_LIF;
    entry.dirty = (entry.dirty & ~keys) | (lcache.attr.sync_mask & keys);
}

// The values an L2 record carries (MAC, MTU, VLAN) and the switchport and
// switching flags, each stored when the attribute is kept.  Stored values
// do not clean their bits.
void store_l2_record(lcache_if_entry_t &entry, const lcache_l2_msg_t &msg);

} // namespace lc
