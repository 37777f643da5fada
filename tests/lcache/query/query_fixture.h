// SPDX-License-Identifier: MIT
// Shared by the query suites: a switch with one access port, a way to get
// an interface cached, and counter deltas.
#pragma once

#include <stdexcept>

#include "lcache_fixture.h"

namespace lctest {

using sim::Fault;
using sim::FaultKind;
using sim::PeerFn;

constexpr uint32_t kUntouched = 0xDEADBEEF;

// An extension callback that shows both what it was given.
inline uint32_t convert(uint32_t data, uint32_t size) { return data * 16 + size; }

// Every attribute but the ones a test closes.
inline uint32_t sync_without(uint32_t bits) { return kSyncAll & ~bits; }

class QueryTest : public LcacheSimTest {
  protected:
    QueryTest() {
        model.set_switchport_mode(port, sim::SwitchportMode::access);
        model.set_vlan(port, 120);
    }
    // The entry of `ifindex`, created (and filled) when not cached yet.
    lcache_if_entry_t &cache(sim::IfIndex ifindex) {
        lcache_if_entry_t *entry = lcache_if_create_entry_by_iod(iod(ifindex));
        if (!entry)
            throw std::runtime_error("interface could not be cached");
        return *entry;
    }
    // Peer calls since the last reset, the interface classification (a
    // platform service every lookup by ifindex makes) left out.
    static uint64_t peer_calls() { return sim::total_calls() - calls(PeerFn::if_index_get_type); }
    // Counters since the last zero_stats() (init zeroes them too).
    static void zero_stats() { lcache.stats = {}; }
    static uint64_t hits(lcache_stat_row_t row) { return lcache.stats.hits[row]; }
    static uint64_t misses(lcache_stat_row_t row) { return lcache.stats.misses[row]; }
    static uint64_t updates(lcache_stat_row_t row) { return lcache.stats.updates[row]; }
    // A cache without entries of its own: every query passes through.
    void init_passing(uint32_t closed) {
        init(sync_without(closed));
        lcache.attr.create_on_miss = 0;
    }

    const sim::IfIndex port = model.add_ethernet(1, 1);
};

} // namespace lctest
