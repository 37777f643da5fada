// SPDX-License-Identifier: MIT
// A uniqueness index: which object holds each key (an iod, a LIF, a name,
// a bridge domain...), refusing to let a second object take one.
#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "sim/types.h"

namespace sim {

template <class Key, class Owner> class KeyIndex {
  public:
    explicit KeyIndex(const char *what) : what_(what) {}

    std::optional<Owner> find(const Key &key) const {
        auto it = owners_.find(key);
        return it == owners_.end() ? std::nullopt : std::optional<Owner>(it->second);
    }

    // Throws ModelError when another owner holds `key`.
    void check_free(const Key &key, Owner owner) const {
        auto holder = find(key);
        if (holder && *holder != owner)
            throw ModelError(std::string(what_) + " " + text(key) + " is already taken");
    }

    void claim(const Key &key, Owner owner) {
        check_free(key, owner);
        owners_[key] = owner;
    }

    void release(const Key &key) { owners_.erase(key); }

    // The first key from `cursor` up that nobody holds; the cursor moves
    // past it, so released keys are not handed out again.
    Key next_free(Key &cursor) const {
        while (owners_.contains(cursor))
            ++cursor;
        return cursor++;
    }

  private:
    static std::string text(const Key &key) {
        if constexpr (std::is_convertible_v<Key, std::string>)
            return "'" + std::string(key) + "'";
        else
            return std::to_string(key);
    }

    const char *what_;
    std::unordered_map<Key, Owner> owners_;
};

} // namespace sim
