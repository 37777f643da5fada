#include "inline_hit.h"

#include <cstddef>

#include "lcache.h"

uint32_t inline_hit_is_linkup(uint32_t iod) {
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
