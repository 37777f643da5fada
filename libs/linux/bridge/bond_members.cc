// SPDX-License-Identifier: MIT
#include "bond_members.h"

#include <cstdlib>

namespace lcache_linux {

BondMembers::Pair *BondMembers::find(uint32_t member) const {
    for (size_t i = 0; i < used; ++i)
        if (pairs[i].member == member)
            return &pairs[i];
    return nullptr;
}

uint32_t BondMembers::bond_of(uint32_t member) const {
    const Pair *pair = find(member);
    return pair ? pair->bond : 0;
}

bool BondMembers::set(uint32_t member, uint32_t bond) {
    Pair *pair = find(member);
    if (pair && bond) {
        pair->bond = bond;
        return true;
    }
    if (pair) {
        *pair = pairs[--used];
        return true;
    }
    if (!bond)
        return true;
    if (used == capacity) {
        size_t grown = capacity ? 2 * capacity : 8;
        auto *bigger = static_cast<Pair *>(realloc(pairs, grown * sizeof *pairs));
        if (!bigger)
            return false;
        pairs = bigger;
        capacity = grown;
    }
    pairs[used++] = Pair{member, bond};
    return true;
}

void BondMembers::clear() {
    free(pairs);
    pairs = nullptr;
    used = capacity = 0;
}

} // namespace lcache_linux
