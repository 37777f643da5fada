// SPDX-License-Identifier: MIT
// How the owners of a VLAN's attributes are asked, by the refresh and by
// the queries.  A failed call is traced (info) with the caller's numbered
// message; the value it left in the entry stays.
#include "lcache_vlan_attrs.h"
#include "dmap.h"

namespace lc {

bool refresh_pvlan(lcache_vlan_entry_t &e, const vlan_key_t &key) {
    const uint32_t status = vlan_get_bd_and_primary_vlan(key, &e.bd, &e.pvlan);
    if (status != 0)
        LC_TRACE("1 vlan_get_bd_and_primary_vlan returned 0x%x for vlan %d\n", status, e.vlan);
    return status == 0;
}

// Not traced.
bool refetch_pvlan(lcache_vlan_entry_t &e, const vlan_key_t &key) {
    return vlan_get_bd_and_primary_vlan(key, &e.bd, &e.pvlan) == 0;
}

bool refresh_bd(lcache_vlan_entry_t &e, const vlan_key_t &key) {
    const uint32_t status = vlan_get_bd(key, &e.bd);
    if (status != 0)
        LC_TRACE("1 vlan_get_bd returned bad 0x%x for vlan %d\n", status, e.vlan);
    return status == 0;
}

bool refetch_bd(lcache_vlan_entry_t &e, const vlan_key_t &key) {
    const uint32_t status = vlan_get_bd(key, &e.bd);
    if (status != 0) {
        const uint32_t vlan = key.vlan;
        LC_TRACE("lcache_vlan_get_bd: bad rv 0x%x for vlan %d\n", status, vlan);
    }
    return status == 0;
}

// The flood index is asked whatever the bridge-domain call answered.
bool refresh_findex(lcache_vlan_entry_t &e, const vlan_key_t &key) {
    const uint32_t bd_status = vlan_get_bd(key, &e.bd);
    if (bd_status != 0)
        LC_TRACE("2 vlan_get_bd returned bad 0x%x for vlan %d\n", bd_status, e.vlan);
    const uint32_t di_status = dmap_lib_bd_to_di(e.bd, &e.fi);
    if (di_status != 0)
        LC_TRACE("dmap_lib_bd_to_di returned bad 0x%x\n", di_status);
    return bd_status == 0 && di_status == 0;
}

bool refetch_findex(lcache_vlan_entry_t &e, const vlan_key_t &key) {
    const uint32_t bd_status = vlan_get_bd(key, &e.bd);
    const uint32_t di_status = dmap_lib_bd_to_di(e.bd, &e.fi);
    const bool ok = bd_status == 0 && di_status == 0;
    if (!ok) {
        const uint32_t vlan = key.vlan;
        LC_TRACE("lcache_vlan_to_flood_di: Status1 0x%x, Status2 0x%x vlan %d\n", bd_status,
                 di_status, vlan);
    }
    return ok;
}

} // namespace lc
