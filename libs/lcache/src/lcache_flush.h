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

} // namespace lc
