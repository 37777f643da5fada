// SPDX-License-Identifier: MIT
// Private data and the four extension slots.  One slot can be filled three
// ways: the refresh (conversion callback with the slot's owner key), the
// getter (the interface manager's extension value, caller's key) and the
// is-set test (callback if any, caller's key); whichever ran last holds.
#include "lcache_query.h"

namespace lc {

uint32_t ext_value(lcache_if_entry_t &e, ExtField f, uint32_t key) {
    if (lcache_ext_fn convert = lcache.attr.ext_fn[f.slot]) {
        // The owner writes the size straight into the entry.
        touched(e);
        uint32_t data = netif_get_private_data(e.iod, key, &(e.*f.size));
        return convert(data, e.*f.size);
    }
    return netif_get_extension(e.iod, key);
}

namespace {

// A fresh slot holding 0 has no answer: its bit is set again so the next
// query asks (what settling a clean slot does), and that is heard.  A
// slot that answered, the common hit, costs one comparison.
inline void hold_no_answer(lcache_if_entry_t &e, const Attr<ExtField, ExtPeer> &slot) {
    if (!empty(e, slot.field))
        return;
    mark_stale(e, slot);
    publish_changes();
}

// Private data is served from slot 0 only when its owner converts it.
bool private_data_gate() {
    return lcache.attr.ext_fn[0] && all_set(lcache.attr.sync_mask, kExt.gate);
}

} // namespace

// Slot 0 as lcache_netif_get_private_data answers it.  On the cached path
// the owner key is always the slot's own.
uint32_t private_data_query(uint32_t iod, uint32_t key, uint32_t *size) {
    uint32_t unwanted_size = 0;
    if (!size)
        size = &unwanted_size;
    const auto &slot = kExt;
    lcache_if_entry_t *entry = serve(
        private_data_gate(), slot.row, [iod] { return find_entry_by_iod(iod); },
        kStaleWhileDirty<kExt>, [](lcache_if_entry_t &e) {
            store(e, kExt, ask(e, kExt));
            settle(e, kExt, kExt.queried);
        });
    if (!entry) {
        uint32_t data = netif_get_private_data(iod, key, size);
        const lcache_ext_fn convert = lcache.attr.ext_fn[0];
        return convert ? convert(data, *size) : data;
    }
    hold_no_answer(*entry, slot);
    *size = entry->*slot.field.size;
    return read(*entry, slot);
}

namespace {

// The getter (IsSet false) and the is-set test differ in the peer that
// answers a miss or a stale slot, and in returning the value or whether it
// is set.  Either settles the slot after answering, hit or not.
template <const auto &Slot, bool IsSet> uint32_t query_extension(uint32_t iod, uint32_t key) {
    lcache_if_entry_t *entry = serve_by_iod<Slot>(iod, [iod, key](lcache_if_entry_t &e) {
        store(e, Slot, IsSet ? Slot.peer(e, Slot.field, key) : netif_get_extension(iod, key));
        settle(e, Slot, Slot.queried);
    });
    if (!entry)
        return IsSet ? netif_is_extension_set(iod, key) : netif_get_extension(iod, key);
    hold_no_answer(*entry, Slot);
    const uint32_t value = read(*entry, Slot);
    return IsSet ? value != 0 : value;
}

// The owning service writes the value itself; no gate.
template <const auto &Slot> uint32_t set_extension(uint32_t iod, uint32_t value) {
    const ChangeScope op;
    if (lcache_if_entry_t *entry = find_entry_by_iod(iod)) {
        count_update(Slot);
        store_fresh(*entry, Slot, value);
    }
    return 1;
}

} // namespace

} // namespace lc

extern "C" {

// A slot's three entry points, named by its number N (none for slot 0).
#define LC_EXTENSION_SLOT(N)                                                                       \
    uint32_t lcache_netif_get_extension##N(uint32_t iod, uint32_t key) {                           \
        return lc::query_extension<lc::kExt##N, false>(iod, key);                                  \
    }                                                                                              \
    uint32_t lcache_netif_is_extension##N##_set(uint32_t iod, uint32_t key) {                      \
        return lc::query_extension<lc::kExt##N, true>(iod, key);                                   \
    }                                                                                              \
    uint32_t lcache_netif_set_extension##N(uint32_t iod, uint32_t, uint32_t value) {               \
        return lc::set_extension<lc::kExt##N>(iod, value);                                         \
    }

LC_EXTENSION_SLOT()
LC_EXTENSION_SLOT(1)
LC_EXTENSION_SLOT(2)
LC_EXTENSION_SLOT(3)
#undef LC_EXTENSION_SLOT

uint32_t lcache_netif_get_private_data(uint32_t iod, uint32_t key, uint32_t *size) {
    return lc::private_data_query(iod, key, size);
}

uint32_t lcache_netif_update_private_data(uint32_t iod, uint32_t, uint32_t value, uint32_t size) {
    if (!lc::private_data_gate())
        return 1;
    const lc::ChangeScope op;
    lcache_if_entry_t *entry = lc::find_entry_by_iod(iod);
    if (!entry)
        return 0;
    const auto &slot = lc::kExt;
    lc::count_update(slot);
    lc::store(*entry, slot, value);
    entry->*slot.field.size = size;
    return 1;
}
}
