// SPDX-License-Identifier: MIT
// The bond each enslaved link belongs to, as the notifications said last.
// A member leaving its bond is announced without the bond's name, so the
// bridge remembers it to refresh the bond's first operational member.
// Plain malloc storage: an allocation failure is an answer, not an abort.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lcache_linux {

class BondMembers {
  public:
    BondMembers() = default;
    BondMembers(const BondMembers &) = delete;
    BondMembers &operator=(const BondMembers &) = delete;
    ~BondMembers() { clear(); }

    // The bond's kernel ifindex, or 0 when `member` is in none.
    uint32_t bond_of(uint32_t member) const;
    // Records `member` in `bond` (0: in none).  False when out of memory;
    // the record is then gone rather than wrong.
    bool set(uint32_t member, uint32_t bond);
    void clear();

  private:
    struct Pair {
        uint32_t member;
        uint32_t bond;
    };
    Pair *find(uint32_t member) const;

    Pair *pairs = nullptr;
    size_t used = 0;
    size_t capacity = 0;
};

} // namespace lcache_linux
