// The VLAN cache in a process where no peer library defines the VLAN
// manager and the index mapper: liblcache's own definitions answer 99 and
// write nothing, so entries stay empty and dirty, and every lookup repeats
// the whole refresh in its fixed order: pvlan, bd, flood index.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lcache_fixture.h"

namespace {

using VlanOnFallbacks = lctest::LcacheSimTest;

TEST_F(VlanOnFallbacks, EveryLookupRepeatsTheWholeRefresh) {
    init(LCACHE_ATTR_VLAN | LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX);
    for (uint64_t round = 1; round <= 2; ++round) {
        lctest::TraceCapture::clear();
        const lcache_vlan_entry_t *e = lcache_vlan_create_entry_by_vlan(20);
        EXPECT_EQ(lctest::TraceCapture::debug_text(),
                  "1 vlan_get_bd_and_primary_vlan returned 0x63 for vlan 20\n"
                  "1 vlan_get_bd returned bad 0x63 for vlan 20\n"
                  "2 vlan_get_bd returned bad 0x63 for vlan 20\n"
                  "dmap_lib_bd_to_di returned bad 0x63\n");
        EXPECT_EQ(e->bd + e->fi + e->pvlan, 0u);
        EXPECT_EQ(e->dirty, lcache.attr.sync_mask);
        EXPECT_THAT(lcache.stats.vlan_updates, testing::Each(round));
    }
}

} // namespace
