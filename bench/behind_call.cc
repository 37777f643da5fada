// SPDX-License-Identifier: MIT
#include "behind_call.h"

namespace {

const EntryMap *entry_map;

} // namespace

void behind_call_use_map(const EntryMap *map) { entry_map = map; }

uint32_t behind_call_map_linkup(uint32_t iod) {
    auto it = entry_map->find(iod);
    return it != entry_map->end() && (it->second->flags & LCACHE_FLAG_LINKUP) != 0;
}
