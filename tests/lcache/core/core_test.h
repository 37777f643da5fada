// SPDX-License-Identifier: MIT
// What the suites of the cache core share: a view of the index tables.
#pragma once

#include <tuple>

#include "lcache_fixture.h"

namespace coretest {

using lctest::text;
using lctest::Texts;

// sync_mask bits of the iod, pi and lif tables.
constexpr uint32_t kKeys = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF;

// A port on slot 1, in the switch before the cache starts.
class CoreTest : public lctest::LcacheSimTest {
  protected:
    const sim::IfIndex eth = model.add_ethernet(1, 1);

    // The entry a table holds under `key`, without creating anything.
    static lcache_if_entry_t *held(ht_table_t &table, uint32_t key) {
        return static_cast<lcache_if_entry_t *>(ht_lookup(&table, &key));
    }
    static lcache_if_entry_t *cached(uint32_t ifindex) { return held(lcache.if_table, ifindex); }
    static lcache_if_entry_t *create(uint32_t ifindex) {
        return lcache_if_create_entry_by_if(ifindex, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF);
    }
    // (allocations, releases, teardowns) of interface entries.
    static auto lifecycle() {
        return std::tuple(lcache.stats.if_allocs, lcache.stats.if_frees, lcache.stats.if_destroys);
    }
};

} // namespace coretest
