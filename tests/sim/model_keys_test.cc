// Numbering, key uniqueness and removal in the model.
#include <functional>

#include "sim_fixture.h"

using namespace sim;

namespace {

using SimModel = SimSwitchTest;

TEST_F(SimModel, IfindexCarriesTypeAndNumberAndKindDecidesPiAndLif) {
    const struct {
        IfIndex ifindex, expected;
        const char *name;
        bool has_pi, has_lif;
    } rows[] = {
        {eth5, 0x1A001005, "Ethernet1/5", true, true},
        {mgmt, 0x05000000, "mgmt0", false, false},
        {po1, 0x16000001, "port-channel1", false, true},
        {svi, 0x0700000A, "Vlan10", false, true},
        {subif, 0x09000001, "Ethernet1/1.100", false, true},
        {lo0, 0x03000000, "loopback0", false, false},
        {null0, 0x01000000, "Null0", false, false},
        {gre, 0x18000001, "Tunnel1", false, true},
        {six, 0x1C000004, "Tunnel4", false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Interface &itf = model.at(row.ifindex);
        EXPECT_EQ(row.ifindex, row.expected);
        EXPECT_EQ(row.ifindex >> 24, type_code(itf.type));
        EXPECT_EQ(model.find_by_name(row.name), &itf);
        EXPECT_EQ(itf.pi != kNoPi, row.has_pi);
        EXPECT_EQ(itf.lif != kNoLif, row.has_lif);
    }
}

TEST(SimModelPools, IdentifiersComeFromTheirPoolsAndAreNotReused) {
    Switch model;
    const IfIndex a = model.add_ethernet(1, 1);
    const IfIndex b = model.add_ethernet(1, 2);
    EXPECT_EQ(model.at(a).iod, kFirstIod);
    EXPECT_EQ(model.at(a).pi, kFirstPi);
    EXPECT_EQ(model.at(a).lif, kFirstLif);
    model.set_iod(b, 7);
    model.remove_interface(a);
    const IfIndex c = model.add_ethernet(1, 3);
    EXPECT_EQ(model.at(c).iod, kFirstIod + 2);
    EXPECT_EQ(model.at(c).pi, kFirstPi + 2);
    EXPECT_EQ(model.at(c).lif, kFirstLif + 2);
    for (uint32_t n = 0; n < 3; ++n) // iods 4-6
        model.add_loopback(n);
    EXPECT_EQ(model.at(model.add_loopback(9)).iod, 8u); // 7 is b's
}

TEST_F(SimModel, RemapMovesTheKeyAndRefusesATakenOne) {
    const struct {
        const char *what;
        void (Switch::*set)(IfIndex, uint32_t);
        const Interface *(Switch::*find)(uint32_t) const;
        uint32_t Interface::*field;
        uint32_t none;
    } keys[] = {
        {"iod", &Switch::set_iod, &Switch::find_by_iod, &Interface::iod, kNoIod},
        {"pi", &Switch::set_pi, &Switch::find_by_pi, &Interface::pi, kNoPi},
        {"lif", &Switch::set_lif, &Switch::find_by_lif, &Interface::lif, kNoLif},
    };
    for (const auto &key : keys) {
        SCOPED_TRACE(key.what);
        const uint32_t old1 = model.at(eth1).*key.field;
        const uint32_t old2 = model.at(eth2).*key.field;
        EXPECT_THROW((model.*key.set)(eth1, old2), ModelError);
        EXPECT_EQ(model.at(eth1).*key.field, old1);
        EXPECT_EQ((model.*key.find)(old2), &model.at(eth2));

        (model.*key.set)(eth1, 5000);
        EXPECT_EQ((model.*key.find)(5000), &model.at(eth1));
        EXPECT_EQ((model.*key.find)(old1), nullptr);
        (model.*key.set)(eth2, old1); // the released key is free again
        EXPECT_EQ((model.*key.find)(old1), &model.at(eth2));

        (model.*key.set)(eth1, key.none); // "none" is not a key: both may have it
        (model.*key.set)(eth2, key.none);
        EXPECT_EQ(model.at(eth1).*key.field, key.none);
        EXPECT_EQ((model.*key.find)(key.none), nullptr);
        EXPECT_EQ((model.*key.find)(5000), nullptr);
    }
}

TEST_F(SimModel, InvalidChangesAreRefusedAndChangeNothing) {
    const std::function<void()> refused[] = {
        [&] { model.add_ethernet(1, 1); },
        [&] { model.add_tunnel(IfType::mpls_tunnel, 1); }, // named like the GRE tunnel
        [&] { model.add_subinterface(eth1, 100, 20); },
        [&] { model.add_subinterface(lo0, 11, 20); },
        [&] { model.add_ethernet(0, 1); },
        [&] { model.add_ethernet(1, 4096); },
        [&] { model.add_port_channel(0); },
        [&] { model.add_vlan_interface(4095); },
        [&] { model.add_tunnel(IfType::loopback, 2); },
        [&] { model.set_pi(po1, 77); }, // only Ethernet ports hold a port index
        [&] { model.set_iod(0x1A00FFFF, 77); },
        [&] { model.add_member(po1, eth3); },  // already a member
        [&] { model.add_member(po1, svi); },   // members are Ethernet ports
        [&] { model.add_member(eth2, eth1); }, // only into a port-channel
        [&] { model.remove_member(po1, eth1); },
        [&] { model.set_member_operational(po1, eth2, true); },
        [&] { model.first_operational_member(eth1); },
        [&] { model.set_vlan(eth1, 10); }, // a routed port has no VLAN
        [&] { model.set_vlan(svi, 20); },  // a VLAN interface's VLAN is fixed
        [&] { model.set_switchport_mode(svi, SwitchportMode::access); },
        [&] { model.add_vlan(10); },
        [&] { model.add_vlan(4095); },
        [&] { model.remove_vlan(40); },
        [&] { model.set_vlan_bd(20, 10); }, // VLAN 10's
        [&] { model.set_vlan_bd(20, 0); },
        [&] { model.set_flood_index(999, 1); },
        [&] { model.remove_vlan(10); },          // the primary of 20
        [&] { model.set_primary_vlan(10, 20); }, // 10 has secondaries
        [&] { model.set_primary_vlan(30, 20); }, // 20 is a secondary
        [&] { model.set_primary_vlan(20, 99); },
    };
    for (size_t i = 0; i < std::size(refused); ++i) {
        const size_t interfaces = model.interfaces().size();
        EXPECT_THROW(refused[i](), ModelError) << "case " << i;
        EXPECT_EQ(model.interfaces().size(), interfaces) << "case " << i;
    }
    EXPECT_EQ(model.at(po1).members.size(), 3u);
    EXPECT_EQ(model.find_vlan(20)->primary, 10);
}

TEST_F(SimModel, RemovalReleasesKeysUnlessTheInterfaceIsReferenced) {
    EXPECT_THROW(model.remove_interface(eth1), ModelError); // has a sub-interface
    EXPECT_THROW(model.remove_interface(eth3), ModelError); // is a member
    const Interface removed = model.at(subif);
    model.remove_interface(subif);
    model.remove_interface(eth1);
    EXPECT_EQ(model.find(subif), nullptr);
    EXPECT_EQ(model.find_by_iod(removed.iod), nullptr);
    EXPECT_EQ(model.find_by_lif(removed.lif), nullptr);
    EXPECT_EQ(model.find_by_name(removed.name), nullptr);
    EXPECT_NE(model.add_subinterface(eth2, 100, 5), subif); // serials are not reused

    model.remove_interface(po1); // releases its members
    EXPECT_EQ(model.at(eth3).bundle, 0u);
    model.add_member(model.add_port_channel(2), eth3);
}

} // namespace
