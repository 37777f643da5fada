// SPDX-License-Identifier: MIT
// VLAN queries: bridge domain, private-VLAN primary and flood index.  Each
// answers from the VLAN entry while its bit is clean, refetches a dirty
// one, and asks the peers directly when the attribute is not kept or no
// entry can be had.
#include <cstddef>
#include <cstring>

#include "dmap.h"
#include "lcache_vlan_attrs.h"

namespace lc {

namespace {

// The low 16 bits of the key's VLAN number, which choose its entry.  The
// key comes by value, in memory the caller has just written in pieces:
// reading back exactly its first four bytes (slice and low half of the
// VLAN number, as that copy writes them) takes them from the pending store
// instead of waiting for the pieces to reach the cache.
inline uint16_t low_vlan(const vlan_key_t &key) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && offsetof(vlan_key_t, vlan) == 2);
    uint32_t head;
    memcpy(&head, &key, sizeof head);
    return static_cast<uint16_t>(head >> 16);
}

// The caller's key reaches the VLAN manager unchanged; the entry is chosen
// by the low 16 bits of its VLAN number.
[[gnu::always_inline]] inline uint32_t bd_query(const vlan_key_t &key, uint16_t *bd) {
    const lcache_vlan_entry_t *entry = serve_vlan(kBd, low_vlan(key), key);
    if (!entry)
        return vlan_get_bd(key, bd);
    *bd = entry->bd;
    return 0;
}

} // namespace

} // namespace lc

extern "C" {

uint32_t lcache_vlan_get_bd(vlan_key_t key, uint16_t *bd) {
    if (!bd)
        return LCACHE_ERR_NULL_ARG;
    return lc::bd_query(key, bd);
}

// Always 0: a failed peer call leaves the answer as the peer (or the
// entry) had it, and without a place for the answer nobody is asked.
uint32_t lcache_pvlan_get_pvlan(uint32_t vlan, uint32_t *pvlan) {
    if (!pvlan)
        return 0;
    const vlan_key_t key = lc::vlan_key(vlan);
    const lcache_vlan_entry_t *entry = lc::serve_vlan(lc::kPvlan, static_cast<uint16_t>(vlan), key);
    if (!entry) {
        uint16_t dropped_bd = 0;
        const uint32_t status = vlan_get_bd_and_primary_vlan(key, &dropped_bd, pvlan);
        // Told apart: the attribute not kept, or no entry to be had.
        if (status != 0 && !lc::kept(lc::kPvlan))
            LC_TRACE("2 vlan_get_bd_and_primary_vlan ret0x%x vlan %d\n", status, vlan);
        else if (status != 0)
            LC_TRACE("3vlan_get_bd_and_primary_vlan ret 0x%x vlan %d\n", status, vlan);
        return 0;
    }
    *pvlan = entry->pvlan;
    return 0;
}

// Without an entry the bridge domain is asked through its own query, which
// counts its own hit or miss.
uint32_t lcache_vlan_to_flood_di(uint16_t vlan, uint32_t *di, uint16_t *bd) {
    if (!di || !bd)
        return LCACHE_ERR_NULL_ARG;
    const vlan_key_t key = lc::vlan_key(vlan);
    const lcache_vlan_entry_t *entry = lc::serve_vlan(lc::kFindex, vlan, key);
    if (!entry) {
        lc::bd_query(key, bd);
        return dmap_lib_bd_to_di(*bd, di);
    }
    *di = entry->fi;
    *bd = entry->bd;
    return 0;
}
}
