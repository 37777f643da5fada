// SPDX-License-Identifier: MIT
// One kernel link message, applied to the cache the way a notification is.
#pragma once

#include <cstdint>

#include "lcache.h"
#include "link_info.h"

namespace lcache_linux {

// Flush option 3 marks every attribute the cache keeps.
inline constexpr uint32_t kFlushEverything = 3;

// The cached entry of `if_index`, never creating one; null while disabled.
lcache_if_entry_t *cached_entry(uint32_t if_index);

enum class Applied { updated, created, removed, skipped };

// Everything one kernel message (or one link of a dump) does to the cache
// is one operation for its watchers: the several records a message
// becomes give each entry it touched one event, delivered at the end.
class OneOperation {
  public:
    OneOperation() { lcache_watch_begin(); }
    ~OneOperation() { lcache_watch_end(); }
    OneOperation(const OneOperation &) = delete;
    OneOperation &operator=(const OneOperation &) = delete;
};

// What applying a link may do beyond a cached entry's state records:
//   update  nothing more (the cache does not yet follow every link);
//   create  also give a link the cache does not hold an entry;
//   fill    create, and refetch whatever a cached entry still has stale.
enum class Apply { update, create, fill };

// Hands what `link` says to the cache: the state records for a cached
// interface, or its removal when `deleted`.  The peers answer questions
// about the link from the message while it is applied.  `renamed`: the
// link's name is not the one the peers kept, which only the watchers of
// names hear (names are never cached).
Applied apply_link(const LinkInfo &link, bool deleted, bool renamed, Apply how);

// Records which bond each link is enslaved to now; false when out of
// memory (the bridge then flushes every entry).
bool track_bond_membership(const LinkInfo &link, bool deleted);

} // namespace lcache_linux
