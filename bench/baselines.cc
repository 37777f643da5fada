// SPDX-License-Identifier: MIT
#include "baselines.h"

#include <cstdio>
#include <cstdlib>

#include <linux/if.h>
#include <netlink/cache.h>
#include <netlink/route/link.h>

namespace bench {

ArrayIndex::ArrayIndex(const std::vector<lcache_if_entry_t *> &entries) {
    for (const lcache_if_entry_t *entry : entries) {
        if (entry->iod >= by_iod_.size())
            by_iod_.resize(entry->iod + 1);
        by_iod_[entry->iod] = *entry;
    }
}

LibnlIndex::LibnlIndex(const std::vector<lcache_if_entry_t *> &entries) {
    if (nl_cache_alloc_name("route/link", &cache_) < 0) {
        fprintf(stderr, "libnl: no route/link cache\n");
        abort();
    }
    for (const lcache_if_entry_t *entry : entries) {
        rtnl_link *link = rtnl_link_alloc();
        rtnl_link_set_ifindex(link, static_cast<int>(entry->iod));
        rtnl_link_set_family(link, AF_UNSPEC);
        const unsigned running = linkup_flag(*entry) ? IFF_RUNNING : 0;
        rtnl_link_set_flags(link, IFF_UP | running);
        if (nl_cache_add(cache_, reinterpret_cast<nl_object *>(link)) < 0) {
            fprintf(stderr, "libnl: cannot add link %u\n", entry->iod);
            abort();
        }
        // The cache holds its own reference.
        rtnl_link_put(link);
    }
}

LibnlIndex::~LibnlIndex() { nl_cache_free(cache_); }

bool LibnlIndex::linkup(uint32_t iod) const {
    rtnl_link *link = rtnl_link_get(cache_, static_cast<int>(iod));
    if (!link)
        return false;
    const bool up = (rtnl_link_get_flags(link) & IFF_RUNNING) != 0;
    rtnl_link_put(link);
    return up;
}

} // namespace bench
