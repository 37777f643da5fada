// Port-channel membership and the VLAN table.
#include <vector>

#include "sim_fixture.h"

using namespace sim;

namespace {

using SimModel = SimSwitchTest;

TEST_F(SimModel, FirstOperationalMemberIsTheLowestOperationalIfindex) {
    // po1 was given eth5, eth3 and a down eth4, in that order.
    EXPECT_EQ(model.first_operational_member(po1), eth3);
    EXPECT_EQ(model.operational_members(po1), (std::vector<IfIndex>{eth3, eth5}));
    model.set_member_operational(po1, eth4, true);
    EXPECT_EQ(model.operational_members(po1), (std::vector<IfIndex>{eth3, eth4, eth5}));
    model.remove_member(po1, eth3);
    EXPECT_EQ(model.first_operational_member(po1), eth4);
    EXPECT_EQ(model.at(eth3).bundle, 0u);
    model.add_member(po1, eth1, false);
    EXPECT_EQ(model.first_operational_member(po1), eth4);
    for (IfIndex port : {eth4, eth5})
        model.set_member_operational(po1, port, false);
    EXPECT_EQ(model.first_operational_member(po1), 0u);
    EXPECT_EQ(model.at(po1).members.size(), 3u);
}

TEST(SimModelVlans, BridgeDomainsAreUniqueAndCarryTheFloodIndex) {
    Switch model;
    model.add_vlan(10);
    EXPECT_EQ(model.find_vlan(10)->bd, 10);
    EXPECT_EQ(model.find_vlan(10)->flood_index, default_flood_index(10));
    EXPECT_EQ(model.find_vlan(10)->primary, 10);

    model.set_vlan_bd(10, 20);
    model.add_vlan(20); // bd 20 is taken: the next free one
    const uint16_t bd20 = model.find_vlan(20)->bd;
    EXPECT_NE(bd20, 20);
    EXPECT_EQ(model.find_vlan_by_bd(bd20)->id, 20);

    model.set_flood_index(20, 0x7777);
    EXPECT_EQ(model.find_vlan(10)->flood_index, 0x7777u);
    model.set_vlan_bd(10, 30); // the VLAN takes bd 30's flood index; bd 20 is free
    EXPECT_EQ(model.find_vlan(10)->flood_index, default_flood_index(30));
    EXPECT_EQ(model.find_vlan_by_bd(20), nullptr);
    model.remove_vlan(10);
    EXPECT_EQ(model.find_vlan_by_bd(30), nullptr);
}

} // namespace
