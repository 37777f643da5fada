// VLAN queries: bridge domain, private-VLAN primary and flood index.  Each
// answers from the VLAN entry while its bit is clean, refetches a dirty
// one, and asks the peers directly when the attribute is not kept or no
// entry can be had.
#include "dmap.h"
#include "lcache_vlan_internal.h"

namespace lc {

namespace {

uint64_t &vlan_hits(lcache_vlan_stat_row_t row) { return lcache.stats.vlan_hits[row]; }
uint64_t &vlan_misses(lcache_vlan_stat_row_t row) { return lcache.stats.vlan_misses[row]; }

// The entry for a kept attribute, or NULL when the peers must be asked.
lcache_vlan_entry_t *serving_vlan_entry(uint32_t bit, uint32_t vlan) {
    if (!(lcache.attr.sync_mask & bit))
        return nullptr;
    return vlan_entry(static_cast<uint16_t>(vlan));
}

} // namespace

} // namespace lc

extern "C" {

// The caller's key reaches the VLAN manager unchanged; the entry is chosen
// by the low 16 bits of its VLAN number.
uint32_t lcache_vlan_get_bd(vlan_key_t key, uint16_t *bd) {
    if (!bd)
        return LCACHE_ERR_NULL_ARG;
    lcache_vlan_entry_t *entry = lc::serving_vlan_entry(LCACHE_ATTR_BD, key.vlan);
    if (!entry) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_BD);
        return vlan_get_bd(key, bd);
    }
    if (entry->dirty & LCACHE_ATTR_BD) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_BD);
        if (uint32_t status = vlan_get_bd(key, &entry->bd)) {
            const uint32_t vlan = key.vlan;
            LC_TRACE("lcache_vlan_get_bd: bad rv 0x%x for vlan %d\n", status, vlan);
        } else {
            entry->dirty &= ~LCACHE_ATTR_BD;
        }
    } else {
        ++lc::vlan_hits(LCACHE_VLAN_STAT_BD);
    }
    *bd = entry->bd;
    return 0;
}

// Always 0: a failed peer call leaves the answer as the peer (or the
// entry) had it, and without a place for the answer nobody is asked.
uint32_t lcache_pvlan_get_pvlan(uint32_t vlan, uint32_t *pvlan) {
    if (!pvlan)
        return 0;
    const vlan_key_t key = lc::vlan_key(vlan);
    uint16_t dropped_bd = 0;
    if (!(lcache.attr.sync_mask & LCACHE_ATTR_PVLAN)) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_PVLAN);
        if (uint32_t status = vlan_get_bd_and_primary_vlan(key, &dropped_bd, pvlan))
            LC_TRACE("2 vlan_get_bd_and_primary_vlan ret0x%x vlan %d\n", status, vlan);
        return 0;
    }
    lcache_vlan_entry_t *entry = lc::vlan_entry(static_cast<uint16_t>(vlan));
    if (!entry) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_PVLAN);
        if (uint32_t status = vlan_get_bd_and_primary_vlan(key, &dropped_bd, pvlan))
            LC_TRACE("3vlan_get_bd_and_primary_vlan ret 0x%x vlan %d\n", status, vlan);
        return 0;
    }
    if (entry->dirty & LCACHE_ATTR_PVLAN) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_PVLAN);
        if (vlan_get_bd_and_primary_vlan(key, &entry->bd, &entry->pvlan) == 0)
            entry->dirty &= ~LCACHE_ATTR_PVLAN;
    } else {
        ++lc::vlan_hits(LCACHE_VLAN_STAT_PVLAN);
    }
    *pvlan = entry->pvlan;
    return 0;
}

// Counted in the bd row: the flood index has no row of its own in use.
uint32_t lcache_vlan_to_flood_di(uint16_t vlan, uint32_t *di, uint16_t *bd) {
    if (!di || !bd)
        return LCACHE_ERR_NULL_ARG;
    const vlan_key_t key = lc::vlan_key(vlan);
    lcache_vlan_entry_t *entry = lc::serving_vlan_entry(LCACHE_ATTR_FINDEX, vlan);
    if (!entry) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_BD);
        lcache_vlan_get_bd(key, bd);
        return dmap_lib_bd_to_di(*bd, di);
    }
    if (entry->dirty & LCACHE_ATTR_FINDEX) {
        ++lc::vlan_misses(LCACHE_VLAN_STAT_BD);
        const uint32_t bd_status = vlan_get_bd(key, &entry->bd);
        const uint32_t di_status = dmap_lib_bd_to_di(entry->bd, &entry->fi);
        if (bd_status == 0 && di_status == 0)
            entry->dirty &= ~LCACHE_ATTR_FINDEX;
        else
            LC_TRACE("lcache_vlan_to_flood_di: Status1 0x%x, Status2 0x%x vlan %d\n", bd_status,
                     di_status, vlan);
    } else {
        ++lc::vlan_hits(LCACHE_VLAN_STAT_BD);
    }
    *di = entry->fi;
    *bd = entry->bd;
    return 0;
}
}
