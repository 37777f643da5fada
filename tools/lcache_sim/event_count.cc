// SPDX-License-Identifier: MIT
// Counting a run's change events.
#include "event_count.h"

#include <stdexcept>
#include <string>

namespace lcsim {

EventCounter::EventCounter() {
    watch_ = lcache_watch_add(0xFFFFFFFFu, heard, this);
    vlan_watch_ = lcache_vlan_watch_add(0xFFFFFFFFu, heard_vlan, this);
    if (watch_ < 0 || vlan_watch_ < 0) {
        const int failed = watch_ < 0 ? watch_ : vlan_watch_;
        release();
        throw std::runtime_error("the cache refused a watch: " + std::to_string(failed));
    }
}

EventCounter::~EventCounter() { release(); }

void EventCounter::release() {
    if (watch_ >= 0)
        lcache_watch_remove(watch_);
    if (vlan_watch_ >= 0)
        lcache_vlan_watch_remove(vlan_watch_);
    watch_ = vlan_watch_ = -1;
}

void EventCounter::count(EventCounts &counts, uint32_t event, uint32_t changed) {
    switch (event) {
    case LCACHE_CHANGE_ADDED: ++counts.added; break;
    case LCACHE_CHANGE_REMOVED: ++counts.removed; break;
    default: ++(changed != 0 ? counts.updated : counts.stale_only); break;
    }
}

void EventCounter::heard(const lcache_change_t *change, void *counter) {
    count(static_cast<EventCounter *>(counter)->interfaces_, change->event, change->changed);
}

void EventCounter::heard_vlan(const lcache_vlan_change_t *change, void *counter) {
    count(static_cast<EventCounter *>(counter)->vlans_, change->event, change->changed);
}

} // namespace lcsim
