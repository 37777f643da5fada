// SPDX-License-Identifier: MIT
// The bridge's memory of which bond each member is in: a release must
// still find the bond, and a removal must not disturb the other records.
#include <gtest/gtest.h>

#include "bond_members.h"

using lcache_linux::BondMembers;

TEST(BondMembers, MovesReleasesAndKeepsTheOthers) {
    BondMembers members;
    // More than the first allocation holds, over two bonds.
    for (uint32_t member = 10; member < 30; ++member)
        ASSERT_TRUE(members.set(member, member % 2 ? 101 : 100));
    EXPECT_TRUE(members.set(11, 100)) << "moved to the other bond";
    EXPECT_TRUE(members.set(10, 0)) << "released";
    EXPECT_TRUE(members.set(999, 0)) << "releasing a link in no bond";

    EXPECT_EQ(members.bond_of(10), 0u);
    EXPECT_EQ(members.bond_of(11), 100u);
    EXPECT_EQ(members.bond_of(999), 0u);
    for (uint32_t member = 12; member < 30; ++member)
        EXPECT_EQ(members.bond_of(member), member % 2 ? 101u : 100u) << member;

    members.clear();
    EXPECT_EQ(members.bond_of(12), 0u);
    EXPECT_TRUE(members.set(12, 100)) << "usable after clear";
    EXPECT_EQ(members.bond_of(12), 100u);
}
