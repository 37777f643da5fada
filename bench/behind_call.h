// SPDX-License-Identifier: MIT
// The std::unordered_map baseline (lookup plus bit test) placed behind a
// shared library's call boundary, reached through the PLT exactly as a
// client reaches liblcache, so it compares with the cache on equal terms.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "lcache.h"

#define BEHIND_CALL_API __attribute__((visibility("default")))

using EntryMap = std::unordered_map<uint32_t, const lcache_if_entry_t *>;

extern "C" {
// `map` (not owned) answers behind_call_map_linkup until replaced.
BEHIND_CALL_API void behind_call_use_map(const EntryMap *map);
BEHIND_CALL_API uint32_t behind_call_map_linkup(uint32_t iod);
}
