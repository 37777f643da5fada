// SPDX-License-Identifier: MIT
// Entry lookup and creation, for the library's own callers.
#pragma once

#include "lcache_tables.h"

namespace lc {

// lcache_if_create_entry_by_if.
lcache_if_entry_t *create_entry(uint32_t if_index, uint32_t iod, uint32_t pi, uint32_t lif);

// Creation by an iod the iod table does not hold.
lcache_if_entry_t *create_missing_by_iod(uint32_t iod);

// lcache_if_create_entry_by_iod and lcache_find_entry_by_iod, inline: they
// start every query, whose hit must not pay a call.
inline lcache_if_entry_t *create_entry_by_iod(uint32_t iod) {
    if (lcache_if_entry_t *entry = lookup(kIodTable, iod))
        return entry;
    return create_missing_by_iod(iod);
}
inline lcache_if_entry_t *find_entry_by_iod(uint32_t iod) {
    if (lcache_if_entry_t *entry = lookup(kIodTable, iod))
        return entry;
    return lcache.attr.create_on_miss ? create_missing_by_iod(iod) : nullptr;
}
// lcache_if_create_entry_by_pi / _by_lif.
lcache_if_entry_t *create_entry_by_pi(uint32_t pi);
lcache_if_entry_t *create_entry_by_lif(uint32_t lif);

// The entry of `if_index`: created when missing if create_on_miss is set,
// else only looked up in the if table.
lcache_if_entry_t *find_entry_by_if(uint32_t if_index);

} // namespace lc
