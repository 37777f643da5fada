// SPDX-License-Identifier: MIT
// Entries of the model's maps by key: a missing one is nullptr, or the
// caller's error where the caller needs it to exist.
#pragma once

namespace sim {

template <class Map> auto *find_entry(Map &map, const typename Map::key_type &key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

// Throws `missing(key)` when there is no entry.
template <class Map, class Missing>
auto &existing_entry(Map &map, const typename Map::key_type &key, Missing missing) {
    if (auto *entry = find_entry(map, key))
        return *entry;
    throw missing(key);
}

} // namespace sim
