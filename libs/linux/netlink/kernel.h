// SPDX-License-Identifier: MIT
// Questions to the kernel: one rtnetlink request and its answer each, on a
// request socket of their own that opens on first use and is replaced
// whenever a request fails half-way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link_info.h"
#include "plain_array.h"

namespace lcache_linux {

enum class Fetch { ok, missing, failed };

// Every link, sorted by kernel ifindex.
using LinkSet = PlainArray<LinkInfo>;
const LinkInfo *find_link(const LinkSet &links, uint32_t index);

// One VLAN of a bridge port or bridge, as the bridge VLAN dump gives it.
struct PortVlan {
    uint32_t port; // kernel ifindex
    uint16_t vid;
    uint16_t flags; // BRIDGE_VLAN_INFO_*
};
using VlanSet = PlainArray<PortVlan>;

// Most members a port-channel answer looks at.
inline constexpr size_t kMaxMembers = 64;
struct Members {
    uint32_t index[kMaxMembers]; // kernel ifindexes, ascending
    size_t count = 0;
};

// The link `index` as the kernel describes it now.
Fetch ask_link(uint32_t index, LinkInfo &out);

// The operational (carrier up) members of `master`.
Fetch ask_up_members(uint32_t master, Members &out);
// The same, read from a dump of every link.
void up_members_in(const LinkSet &links, uint32_t master, Members &out);

// Every link, or every bridge VLAN.  A dump the kernel marks interrupted
// (links changed while it ran) is asked again, backing off, up to
// kDumpAttempts times in all.
inline constexpr int kDumpAttempts = 5;
Fetch dump_links(LinkSet &out);
Fetch dump_bridge_vlans(VlanSet &out);

void close_request_socket();

// Kernel round trips, and dumps asked again, since the last reset.
uint64_t round_trips();
uint64_t dump_retries();
void reset_kernel_counters();

} // namespace lcache_linux
