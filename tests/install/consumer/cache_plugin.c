/* SPDX-License-Identifier: MIT */
/* A plugin that starts the cache for the process loading it, which
 * supplies the peer services. */
#include "lcache.h"

__attribute__((visibility("default"))) int cache_plugin_start(void);

int cache_plugin_start(void) {
    lcache_attr attr = {0};
    attr.sync_mask = LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP;
    return lcache_init(&attr) == 1 && lcache_is_enabled();
}
