// SPDX-License-Identifier: MIT
// The cache's change events of a run, counted by kind through a watch on
// every attribute.
#pragma once

#include <cstdint>

#include "lcache.h"

namespace lcsim {

struct EventCounts {
    uint64_t added = 0;
    uint64_t updated = 0;    // some cached value changed
    uint64_t removed = 0;
    uint64_t stale_only = 0; // values kept, some marked stale
};

// Counts the interface and VLAN events while it lives; registered after
// lcache_init, destroyed before lcache_cleanup.
class EventCounter {
  public:
    // Throws std::runtime_error when the cache refuses a watch.
    EventCounter();
    EventCounter(const EventCounter &) = delete;
    EventCounter &operator=(const EventCounter &) = delete;
    ~EventCounter();

    const EventCounts &interfaces() const { return interfaces_; }
    const EventCounts &vlans() const { return vlans_; }

  private:
    void release();
    static void count(EventCounts &counts, uint32_t event, uint32_t changed);
    static void heard(const lcache_change_t *change, void *counter);
    static void heard_vlan(const lcache_vlan_change_t *change, void *counter);

    EventCounts interfaces_;
    EventCounts vlans_;
    int watch_ = -1;
    int vlan_watch_ = -1;
};

} // namespace lcsim
