// SPDX-License-Identifier: MIT
// The watches an input registered, and the shadow: a copy of the if table
// built from a full watch's events alone.  Whenever that watch has been
// live since the cache was initialised, the shadow must hold exactly the
// cache's entries with their keys and cached values.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "lcache.h"

namespace lcfuzz {

struct State;

// What a watch's callback does besides checking what it hears.
enum class Act : uint8_t {
    none,
    remove_self,
    remove_other,
    refused_release, // a call the cache must refuse from a callback
    add_watch,
    query,
    count,
};

struct Watcher {
    State *s;
    bool vlan;
    uint32_t mask;
    Act act;
    int handle = -1; // -1 once removed
};

// A Watcher's callbacks (ops_watch.cc): they check what they hear, then act.
void watch_heard(const lcache_change_t *c, void *watcher);
void vlan_watch_heard(const lcache_vlan_change_t *c, void *watcher);

class Watches {
  public:
    // After lcache_init (`ok`: it returned 1), which released the entries
    // without events; `shadow`: register the shadow now.
    void initialised(bool ok, bool shadow);
    // After lcache_cleanup (`ok`: it returned 1), which dropped every watch.
    void cleaned_up(bool ok);
    // The cache may have dropped events for want of memory: the shadow
    // is compared again after the next successful init.
    void events_lost() { shadow_valid_ = false; }

    // A watch doing `act`; nullptr when the cache refused it.
    Watcher *add(State &s, bool vlan, uint32_t mask, Act act);
    // Removes the watch (or the shadow) `handle` names, if any, checking
    // the cache's answer against what this registry holds.
    void remove(bool vlan, int handle);
    // A handle to remove: a watch's, live or not, the shadow's, or any.
    int pick_handle(State &s, bool vlan);

    // Callback actions left in the current operation: a query from a
    // callback may cause another event, whose callback may query again.
    int budget = 0;
    // A hash-table remove fault was armed (State::removes_may_fail).
    bool orphans_possible = false;

    void problem(std::string text) { problems_.push_back(std::move(text)); }
    // What went wrong since the last call, the shadow compared when it is
    // valid; empty when all is well.  `orphans`: entries allocated outside
    // the if table (invariants.h).
    std::vector<std::string> check(const std::set<const void *> &orphans);

  private:
    static void shadow_heard(const lcache_change_t *c, void *watches);
    void shadow_lost();

    std::vector<std::unique_ptr<Watcher>> watchers_; // kept until the input ends
    int shadow_handle_ = -1;
    bool shadow_valid_ = false; // live since the last successful init
    std::map<uint32_t, lcache_if_entry_t> shadow_;
    std::vector<std::string> problems_;
};

} // namespace lcfuzz
