// Hit paths placed behind a shared library's call boundary, reached through
// the PLT exactly as a client reaches liblcache, so they compare with the
// cache on equal terms:
//  - the boolean query as liblcache would run it with its iod lookup
//    inlined (ht_lookup_u32): the same gate, hit test, counter and answer,
//    and the library's own function for anything but a hit;
//  - the std::unordered_map baseline, lookup plus bit test.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "lcache.h"

#define BEHIND_CALL_API __attribute__((visibility("default")))

using EntryMap = std::unordered_map<uint32_t, const lcache_if_entry_t *>;

extern "C" {
BEHIND_CALL_API uint32_t behind_call_lcache_linkup(uint32_t iod);
// `map` (not owned) answers behind_call_map_linkup until replaced.
BEHIND_CALL_API void behind_call_use_map(const EntryMap *map);
BEHIND_CALL_API uint32_t behind_call_map_linkup(uint32_t iod);
}
