/* SPDX-License-Identifier: MIT */
/* A C11 client: the public header compiles as C, and a program linked
 * against the library and a peer library caches an interface. */
#include <stdio.h>

#include "lcache.h"
#include "sim/sim_c.h"

int main(void) {
    if (sim_load_leaf_switch() == 0) {
        fprintf(stderr, "no simulated switch\n");
        return 1;
    }
    lcache_attr attr = {0};
    attr.sync_mask = LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP;
    if (lcache_init(&attr) != 1 || !lcache_is_enabled()) {
        fprintf(stderr, "lcache_init failed\n");
        return 1;
    }
    lcache_if_entry_t *entry = lcache_find_entry_by_iod(1);
    int ok = entry != NULL && lcache_find_entry_by_iod(1) == entry && lcache_if_flush_all(3) == 1 &&
             lcache.stats.if_allocs == 1 && (entry->dirty & LCACHE_ATTR_LINKUP);
    lcache_cleanup();
    if (!ok) {
        fprintf(stderr, "the cached entry of iod 1 did not behave\n");
        return 1;
    }
    return 0;
}
