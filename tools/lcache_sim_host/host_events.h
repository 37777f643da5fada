// SPDX-License-Identifier: MIT
// `lcache-sim host --watch`: one watch on every bit, one line per event as
// the cache delivers it, and the events counted by kind for the summary.
#pragma once

#include <cstdint>
#include <cstdio>

#include "lcache.h"

namespace lchost {

struct EventCounts {
    bool watched = false; // a watch was on: the counts below mean something
    uint64_t added = 0, updated = 0, removed = 0;
};

// Registers the watch: each event counted into `counts` and printed to
// `out` as a scenario's trace prints it, after "@ " (change_text.h):
//   @ updated iod 7 ifindex 0x1a000007: mtu 1500 -> 9000, linkup 1 -> 0; stale mac  Both must outlive the cache (lcache_cleanup drops the watch).
// The watch's handle, or a negative errno.
int watch_every_event(EventCounts &counts, FILE *out);

} // namespace lchost
