// SPDX-License-Identifier: MIT
// The interface-entry blocks the library holds, known exactly: the harness
// stands in for the memory tracker's allocation and release (the library
// reaches them through the dynamic linker, so the program's own
// definitions come first) and hands every call on to the tracker.
#pragma once

#include <set>

namespace lcfuzz {

// Blocks of type LCACHE_MEM_lcache_if_entry_t allocated and not yet freed.
const std::set<const void *> &live_entry_blocks();

} // namespace lcfuzz
