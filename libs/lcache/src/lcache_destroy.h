// SPDX-License-Identifier: MIT
// Teardown, for the library's own callers.
#pragma once

#include "lcache_internal.h"

namespace lc {

// lcache_if_destroy_entry, lcache_if_remove_entry_by_if and
// lcache_if_remove_entry_by_iod.
void destroy_entry(lcache_if_entry_t *entry);
uint32_t remove_entry_by_if(uint32_t if_index);
uint32_t remove_entry_by_iod(uint32_t iod);

} // namespace lc
