#include "behind_call.h"

#include <cstddef>

namespace {

const EntryMap *entry_map;

} // namespace

uint32_t behind_call_lcache_linkup(uint32_t iod) {
    constexpr uint32_t gate = LCACHE_ATTR_LINKUP | LCACHE_ATTR_IOD;
    if ((lcache.attr.sync_mask & gate) == gate) {
        auto *entry = static_cast<lcache_if_entry_t *>(
            ht_lookup_u32(&lcache.iod_table, iod, offsetof(lcache_if_entry_t, iod)));
        if (entry && !(entry->dirty & LCACHE_ATTR_LINKUP)) {
            ++lcache.stats.hits[LCACHE_STAT_LINKUP];
            return (entry->flags & LCACHE_FLAG_LINKUP) != 0;
        }
    }
    return lcache_netif_is_linkup(iod);
}

void behind_call_use_map(const EntryMap *map) { entry_map = map; }

uint32_t behind_call_map_linkup(uint32_t iod) {
    auto it = entry_map->find(iod);
    return it != entry_map->end() && (it->second->flags & LCACHE_FLAG_LINKUP) != 0;
}
