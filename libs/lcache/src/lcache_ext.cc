// Private data and the four extension slots.  One slot can be filled three
// ways: the refresh (conversion callback with the slot's owner key), the
// getter (the interface manager's extension value, caller's key) and the
// is-set test (callback if any, caller's key); whichever ran last holds.
#include "lcache_attrs.h"
#include "lcache_create.h"

namespace lc {

namespace {

// The getter (IsSet false) and the is-set test differ in the peer that
// answers a miss or a stale slot, and in returning the value or whether it
// is set.
template <unsigned I, bool IsSet> uint32_t query_extension(uint32_t iod, uint32_t key) {
    const ExtSlot &s = kExtSlots[I];
    lcache_if_entry_t *entry = serving_entry(iod, s.bit, s.row);
    if (!entry)
        return IsSet ? netif_is_extension_set(iod, key) : netif_get_extension(iod, key);
    if (must_fetch(*entry, s.bit, s.row))
        entry->*s.value = IsSet ? fetch_ext_value(*entry, s, key) : netif_get_extension(iod, key);
    const uint32_t value = settle_ext(*entry, s);
    return IsSet ? value != 0 : value;
}

// The owning service writes the value itself; no gate.
template <unsigned I> uint32_t set_extension(uint32_t iod, uint32_t value) {
    const ExtSlot &s = kExtSlots[I];
    if (lcache_if_entry_t *entry = find_entry_by_iod(iod)) {
        ++lcache.stats.updates[s.row];
        entry->*s.value = value;
        entry->dirty &= ~s.bit;
    }
    return 1;
}

// Private data is served from slot 0 only when its owner converts it.
bool private_data_gate() {
    return lcache.attr.ext_fn[0] &&
           all_set(lcache.attr.sync_mask, LCACHE_ATTR_EXT | LCACHE_ATTR_IOD);
}

} // namespace

} // namespace lc

extern "C" {

// Slot I's three entry points; slot 0's names carry no number.
#define LC_EXTENSION_SLOT(I, N)                                                                    \
    uint32_t lcache_netif_get_extension##N(uint32_t iod, uint32_t key) {                           \
        return lc::query_extension<I, false>(iod, key);                                            \
    }                                                                                              \
    uint32_t lcache_netif_is_extension##N##_set(uint32_t iod, uint32_t key) {                      \
        return lc::query_extension<I, true>(iod, key);                                             \
    }                                                                                              \
    uint32_t lcache_netif_set_extension##N(uint32_t iod, uint32_t, uint32_t value) {               \
        return lc::set_extension<I>(iod, value);                                                   \
    }

LC_EXTENSION_SLOT(0, )
LC_EXTENSION_SLOT(1, 1)
LC_EXTENSION_SLOT(2, 2)
LC_EXTENSION_SLOT(3, 3)
#undef LC_EXTENSION_SLOT

// On the cached path the owner key is always the slot's own.
uint32_t lcache_netif_get_private_data(uint32_t iod, uint32_t key, uint32_t *size) {
    uint32_t unwanted_size = 0;
    if (!size)
        size = &unwanted_size;
    const lc::ExtSlot &s = lc::kExtSlots[0];
    const lcache_ext_fn convert = lcache.attr.ext_fn[0];
    lcache_if_entry_t *entry = lc::private_data_gate() ? lc::find_entry_by_iod(iod) : nullptr;
    if (!entry) {
        ++lcache.stats.misses[s.row];
        uint32_t data = netif_get_private_data(iod, key, size);
        return convert ? convert(data, *size) : data;
    }
    if (lc::must_fetch(*entry, s.bit, s.row))
        entry->extn = lc::fetch_ext_value(*entry, s, lcache.attr.ext_key[0]);
    lc::settle_ext(*entry, s);
    *size = entry->extn_size;
    return entry->extn;
}

uint32_t lcache_netif_update_private_data(uint32_t iod, uint32_t, uint32_t value, uint32_t size) {
    if (!lc::private_data_gate())
        return 1;
    lcache_if_entry_t *entry = lc::find_entry_by_iod(iod);
    if (!entry)
        return 0;
    ++lcache.stats.updates[LCACHE_STAT_EXT];
    entry->extn = value;
    entry->extn_size = size;
    return 1;
}
}
