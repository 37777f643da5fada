// SPDX-License-Identifier: MIT
// Where the peers find a link: a message the bridge holds, an answer kept
// since the last dispatch, or a fresh question to the kernel (held_links.h
// says when each may be used).
#pragma once

#include <cstdint>

#include "kernel.h"

namespace lcache_linux {

Fetch fetch_link(uint32_t index, LinkInfo &out);
Fetch fetch_up_members(uint32_t master, Members &out);

// Whether some VLAN-filtering bridge or bridge port carries `vid`.
Fetch fetch_vlan_present(uint16_t vid, bool &present);
// The untagged (PVID) VLAN of bridge port `index`; 0 when it has none or
// the bridge does not filter VLANs.
Fetch fetch_port_pvid(uint32_t index, uint16_t &pvid);

// The kernel's name of the interface with this ifindex (type and kernel
// ifindex), when it is kept; null when the kernel must be asked.
const char *kept_name(uint32_t if_index);

} // namespace lcache_linux
