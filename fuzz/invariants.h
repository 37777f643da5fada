// SPDX-License-Identifier: MIT
// Structural invariants of the cache's global object, checked from outside
// the library.  The tables are walked chain by chain in their bucket
// arrays, never through the hash-table service, so a check uses up no
// armed fault and moves no statistic.
//
// Shared by the fuzzer (fuzz/) and the fault-injection matrix
// (tests/reliability/).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "lcache.h"

namespace lcinv {

// The tables that lcache_init creates from the iod, pi, lif and VLAN bits
// of sync_mask.
inline constexpr uint32_t kTableBits =
    LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF | LCACHE_ATTR_VLAN;

// The entries of a table in chain order; none for a table never created.
std::vector<void *> table_entries(const ht_table_t &table);

struct Expectations {
    // kTableBits of the tables some operation was entitled to create; every
    // other table object must still be all zero.
    uint32_t creatable = 0;
    // Interface entries allowed outside the if table (still allocated): a
    // teardown goes on when one of its deletes fails, and may leave its
    // entry behind.  Everything else must be reachable from the if table.
    std::set<const void *> orphans;
};

// One line per broken invariant; empty when every invariant holds:
//  - a table never created (or whose bit is not creatable) is all zero;
//  - every chain is well linked, every entry sits in the bucket of its key,
//    no key appears twice, and the chains hold num_entries entries;
//  - an entry is in the iod, pi or lif table exactly when its field holds a
//    key (not the "none" value), and then it is the entry that table maps
//    that key to;
//  - every entry of the iod, pi and lif tables is in the if table (or is a
//    tolerated orphan);
//  - each entry's ref_count is the number of tables that hold it;
//  - the memory tracker's live interface blocks equal the if table's size
//    plus the orphans, its live VLAN blocks the VLAN table's size.
std::vector<std::string> check(const Expectations &expect);

} // namespace lcinv
