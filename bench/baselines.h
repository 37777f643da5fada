// SPDX-License-Identifier: MIT
// What a client would write instead of the cache, each built over the
// entries of the current World and answering the same boolean query, "is
// the link of this iod up", for the same keys.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "lcache.h"

struct nl_cache;

namespace bench {

inline bool linkup_flag(const lcache_if_entry_t &entry) {
    return (entry.flags & LCACHE_FLAG_LINKUP) != 0;
}

// The physical limit: the records themselves in an array indexed by iod.
class ArrayIndex {
  public:
    explicit ArrayIndex(const std::vector<lcache_if_entry_t *> &entries);
    bool linkup(uint32_t iod) const { return linkup_flag(by_iod_[iod]); }

  private:
    std::vector<lcache_if_entry_t> by_iod_;
};

// A hash map from iod to the cache's own record, then the same bit test.
template <class Map> class MapIndex {
  public:
    explicit MapIndex(const std::vector<lcache_if_entry_t *> &entries) {
        map_.reserve(entries.size());
        for (const lcache_if_entry_t *entry : entries)
            map_.emplace(entry->iod, entry);
    }
    bool linkup(uint32_t iod) const {
        auto it = map_.find(iod);
        return it != map_.end() && linkup_flag(*it->second);
    }
    const Map &map() const { return map_; }

  private:
    Map map_;
};

using StdMapIndex = MapIndex<std::unordered_map<uint32_t, const lcache_if_entry_t *>>;
using AbslMapIndex = MapIndex<absl::flat_hash_map<uint32_t, const lcache_if_entry_t *>>;

// libnl's link cache, filled in memory (no netlink socket) with one link
// per entry, its ifindex the entry's iod and IFF_RUNNING its link state.
class LibnlIndex {
  public:
    explicit LibnlIndex(const std::vector<lcache_if_entry_t *> &entries);
    ~LibnlIndex();
    LibnlIndex(const LibnlIndex &) = delete;
    LibnlIndex &operator=(const LibnlIndex &) = delete;
    bool linkup(uint32_t iod) const;

  private:
    nl_cache *cache_ = nullptr;
};

} // namespace bench
