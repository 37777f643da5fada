// SPDX-License-Identifier: MIT
// Flush options: which mask of the attribute block a flush applies.
#pragma once

#include "lcache_internal.h"

namespace lc {

// 1 med, 2 crit, 3 sync; 0 and anything above 3 low.  The interface and
// the VLAN flushes share the choice.
inline uint32_t flush_mask(uint32_t option) {
    const lcache_attr &a = lcache.attr;
    switch (option) {
    case 1: return a.med_mask;
    case 2: return a.crit_mask;
    case 3: return a.sync_mask;
    default: return a.low_mask;
    }
}

// Flushes every entry of the table; 0 when the hash-table service refuses
// the walk (reported as `op`'s failure), else 1.
template <class Entry>
uint32_t flush_every(const char *op, ht_table_t &table,
                     void (*flush)(Entry *entry, uint32_t option), uint32_t option) {
    ht_iterator_t it;
    if (!ht_iterator_init(&it, &table, 0, table.num_buckets)) {
        LC_ERROR_AS(op, "Couldn't init iterator\n");
        return 0;
    }
    while (void *entry = ht_iterator_next(&it, 0))
        flush(static_cast<Entry *>(entry), option);
    return 1;
}

} // namespace lc
