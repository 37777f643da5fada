// SPDX-License-Identifier: MIT
// The cache brought in line with one dump of every link (and one of the
// bridge VLANs): how the bridge starts warm and how it recovers from lost
// notifications without dropping what is still true.
#pragma once

#include <cstddef>

#include "apply.h"
#include "kernel.h"

namespace lcache_linux {

struct Snapshot {
    LinkSet links;
    VlanSet vlans; // empty unless some bridge filters VLANs
};

// Fills `snapshot` from the kernel; false when a dump failed.
bool take_snapshot(Snapshot &snapshot);

// Removes the entries of interfaces the snapshot does not have (or has
// under another type), applies every link to its entry as a notification
// would, and creates entries where `how` says; VLAN entries likewise.
// Answers how many of the snapshot's interfaces the cache holds.
size_t merge_snapshot(const Snapshot &snapshot, Apply how);

} // namespace lcache_linux
