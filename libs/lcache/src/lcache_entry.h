// SPDX-License-Identifier: MIT
// Interface-entry memory: every entry is one block of the memory tracker.
#pragma once

#include "lcache_internal.h"

namespace lc {

// Fill bytes written over an entry before it goes back to the tracker, so
// a stale pointer reads an unmistakable pattern.
constexpr uint8_t kFillReleased = 0x4C;   // 'L': released by the if table
constexpr uint8_t kFillInsertFail = 0x4D; // 'M': creation could not insert it

// A zeroed entry, or NULL when the tracker has no memory.
lcache_if_entry_t *alloc_entry();
void release_entry(lcache_if_entry_t *entry, uint8_t fill);

// Returns every entry of the if table to the tracker without unlinking
// (the tables are about to be released).
void release_all_if_entries();

} // namespace lc
