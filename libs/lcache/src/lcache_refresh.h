// The entry refresh and the peer requests it shares with the queries.
#pragma once

#include "lcache_internal.h"

namespace lc {

// lcache_if_update_entry without the trip through the PLT.
int32_t refresh_entry(lcache_if_entry_t *entry, uint32_t option);

// The port-channel manager's first operational member of `if_index`
// (0 = none); the status of agg_get_pc_info.
uint32_t pc_first_operational_member(uint32_t if_index, uint32_t *member);

// The interface manager's port mode of `if_index` (0 when it gave none);
// the status of the request.
uint32_t query_port_mode(uint32_t if_index, uint32_t *mode);

// The VLAN of a switchport, from the interface manager's VLAN information;
// `vlan` keeps its value when the interface is no switchport or the
// information is not valid.
void fetch_port_vlan(lcache_if_entry_t &entry);

} // namespace lc
