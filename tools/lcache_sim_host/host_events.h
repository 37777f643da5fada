// SPDX-License-Identifier: MIT
// `lcache-sim host --watch`: one watch on every bit, one line per event as
// the cache delivers it, and the events counted by kind for the summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "lcache.h"

namespace lchost {

struct EventCounts {
    bool watched = false; // a watch was on: the counts below mean something
    uint64_t added = 0, updated = 0, removed = 0;
};

// One event as one line, without its newline:
//   event added iod 7 if 0x1a000007
//   event updated iod 7 if 0x1a000007 changed mtu:1500->9000,linkup:1->0 stale mac
//   event removed iod 7 if 0x1a000007
// An attribute with no value in the entry (a name) is listed bare.
std::string event_line(const lcache_change_t &change);

// Registers the watch: each event counted into `counts` and printed to
// `out`.  Both must outlive the cache (lcache_cleanup drops the watch).
// The watch's handle, or a negative errno.
int watch_every_event(EventCounts &counts, FILE *out);

} // namespace lchost
