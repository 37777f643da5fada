// SPDX-License-Identifier: MIT
// Interface-entry memory.
#include <cstring>

#include "lcache_entry.h"
#include "lcache_watch.h"
#include "mtrack.h"

namespace lc {

lcache_if_entry_t *alloc_entry() {
    void *block =
        mtrack_alloc(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, sizeof(lcache_if_entry_t));
    if (!block)
        return nullptr;
    memset(block, 0, sizeof(lcache_if_entry_t));
    auto *entry = static_cast<lcache_if_entry_t *>(block);
    added(*entry);
    return entry;
}

void release_entry(lcache_if_entry_t *entry, uint8_t fill) {
    released(*entry);
    memset(entry, fill, sizeof *entry);
    mtrack_free(entry);
}

void release_all_if_entries() {
    release_chained(lcache.if_table, [](void *entry) {
        release_entry(static_cast<lcache_if_entry_t *>(entry), kFillReleased);
    });
}

} // namespace lc
