// What the rest of the library needs from the VLAN cache unit.
#pragma once

#include "lcache_internal.h"
#include "vlan_mgr.h"

namespace lc {

// The key the VLAN manager knows a VLAN by: this process's slice and the
// whole VLAN number.
vlan_key_t vlan_key(uint32_t vlan);

// lcache_vlan_create_entry_by_vlan without the trip through the PLT.
lcache_vlan_entry_t *vlan_entry(uint16_t vlan);

// Returns every VLAN entry to the tracker without unlinking (the table is
// about to be released).
void release_all_vlan_entries();

} // namespace lc
