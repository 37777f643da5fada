// SPDX-License-Identifier: MIT
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

// The VLAN id the interface manager gives for `iod`: a VLAN interface's
// (`is_vlan` is netif_is_vlan's answer) or a switchport's, from its VLAN
// information.  False, with `vlan` untouched, for any other interface and
// for VLAN information that is not valid.
bool ask_vlan_id(uint32_t iod, uint32_t is_vlan, uint16_t *vlan);

} // namespace lc
