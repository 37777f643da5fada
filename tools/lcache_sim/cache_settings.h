// SPDX-License-Identifier: MIT
// The attribute block a client hands to lcache_init, chosen by a named
// profile and adjusted mask by mask.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lcache.h"

namespace lcsim {

// Buckets per table: the cache allocates them all at lcache_init, and its
// diagnostics walk them all.
inline constexpr uint32_t kMaxTableSize = 1u << 20;

struct CacheSettings {
    std::string profile = "full";
    // Each replaces the profile's mask when given.
    std::optional<uint32_t> sync_mask;
    std::optional<uint32_t> crit_mask;
    std::optional<uint32_t> med_mask;
    std::optional<uint32_t> low_mask;
    std::optional<uint32_t> once_mask;
    uint32_t table_size = 0; // 0: the cache's default
    bool l3_track = false;
};

// "full", "l2", "minimal".
const std::vector<std::string> &profile_names();

// Throws std::invalid_argument for a profile that does not exist or a
// table size above kMaxTableSize.
lcache_attr make_attributes(const CacheSettings &settings);

} // namespace lcsim
