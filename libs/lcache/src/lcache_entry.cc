// Interface-entry memory.
#include <cstring>

#include "lcache_entry.h"
#include "mtrack.h"

namespace lc {

lcache_if_entry_t *alloc_entry() {
    void *block =
        mtrack_alloc(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, sizeof(lcache_if_entry_t));
    if (block)
        memset(block, 0, sizeof(lcache_if_entry_t));
    return static_cast<lcache_if_entry_t *>(block);
}

void release_entry(lcache_if_entry_t *entry, uint8_t fill) {
    memset(entry, fill, sizeof *entry);
    mtrack_free(entry);
}

void release_all_if_entries() {
    release_chained(lcache.if_table, [](void *entry) {
        release_entry(static_cast<lcache_if_entry_t *>(entry), kFillReleased);
    });
}

} // namespace lc
