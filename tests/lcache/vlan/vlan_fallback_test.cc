// The VLAN cache in a process where no peer library defines the VLAN
// manager and the index mapper: liblcache's own definitions answer 99 and
// write nothing, so entries stay empty and dirty.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "lcache_fixture.h"

namespace {

using lctest::TraceCapture;

constexpr uint32_t kAbsent = 99;
constexpr uint16_t kVlan = 20;

using VlanOnFallbacks = lctest::LcacheSimTest;

TEST_F(VlanOnFallbacks, EveryLookupRepeatsTheWholeRefresh) {
    init(LCACHE_ATTR_VLAN | LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX);
    const std::string refresh = "1 vlan_get_bd_and_primary_vlan returned 0x63 for vlan 20\n"
                                "1 vlan_get_bd returned bad 0x63 for vlan 20\n"
                                "2 vlan_get_bd returned bad 0x63 for vlan 20\n"
                                "dmap_lib_bd_to_di returned bad 0x63\n";
    for (uint64_t round = 1; round <= 2; ++round) {
        TraceCapture::clear();
        const lcache_vlan_entry_t *e = lcache_vlan_create_entry_by_vlan(kVlan);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(TraceCapture::debug_text(), refresh);
        EXPECT_EQ(e->bd + e->fi + e->pvlan, 0u);
        EXPECT_EQ(e->dirty, lcache.attr.sync_mask);
        EXPECT_THAT(lcache.stats.vlan_updates, testing::Each(round));
    }
}

TEST_F(VlanOnFallbacks, TheDirectPathsPassThe99OnExceptThePrivateVlanQuery) {
    init(LCACHE_ATTR_VLAN);
    uint32_t pvlan = 0xA5, di = 0xA5;
    uint16_t bd = 0xA5;
    EXPECT_EQ(lcache_vlan_get_bd(vlan_key_t{1, kVlan}, &bd), kAbsent);
    EXPECT_EQ(lcache_vlan_to_flood_di(kVlan, &di, &bd), kAbsent);
    EXPECT_EQ(lcache_pvlan_get_pvlan(kVlan, &pvlan), 0u);
    EXPECT_EQ(bd, 0xA5);
    EXPECT_EQ(di, 0xA5u);
    EXPECT_EQ(pvlan, 0xA5u);
    EXPECT_EQ(lcache.stats.vlan_allocs, 0u);
}

} // namespace
