// SPDX-License-Identifier: MIT
// The model's numbering, keys and refusals, the leaf switch builder, and the
// default model behind the default backend.  Port-channel membership and
// the VLAN table show in the peers' answers (peers_test.cc).
#include <functional>
#include <map>
#include <tuple>

#include "netif.h"
#include "sim/leaf.h"
#include "sim_fixture.h"

using namespace sim;

namespace {

using SimModel = SimSwitchTest;

// The type code in the top byte, the kind's number below it; iods from 1
// in creation order, never reused.
TEST_F(SimModel, IfindexCarriesTypeAndNumberAndTheNameFindsIt) {
    const std::tuple<IfIndex, IfIndex, const char *> rows[] = {
        {eth5, 0x1A001005, "Ethernet1/5"},      {mgmt, 0x05000000, "mgmt0"},
        {po1, 0x16000001, "port-channel1"},     {svi, 0x0700000A, "Vlan10"},
        {subif, 0x09000001, "Ethernet1/1.100"}, {lo0, 0x03000000, "loopback0"},
        {null0, 0x01000000, "Null0"},           {six, 0x1C000004, "Tunnel4"}};
    for (const auto &[ifindex, expected, name] : rows) {
        EXPECT_EQ(ifindex, expected) << name;
        EXPECT_EQ(model.find_by_name(name), &model.at(ifindex)) << name;
    }
    EXPECT_EQ(iod(mgmt), kFirstIod);
    const uint32_t last = iod(six);
    model.remove_interface(six);
    EXPECT_EQ(model.at(model.add_loopback(9)).iod, last + 1);
}

TEST_F(SimModel, RemapMovesTheKeyAndRefusesATakenOne) {
    const struct {
        void (Switch::*set)(IfIndex, uint32_t);
        const Interface *(Switch::*find)(uint32_t) const;
        uint32_t Interface::*field;
        uint32_t none;
    } keys[] = {
        {&Switch::set_iod, &Switch::find_by_iod, &Interface::iod, kNoIod},
        {&Switch::set_pi, &Switch::find_by_pi, &Interface::pi, kNoPi},
        {&Switch::set_lif, &Switch::find_by_lif, &Interface::lif, kNoLif},
    };
    for (const auto &key : keys) {
        const auto find = [&](uint32_t k) { return (model.*key.find)(k); };
        const uint32_t old1 = model.at(eth1).*key.field, old2 = model.at(eth2).*key.field;
        EXPECT_THROW((model.*key.set)(eth1, old2), ModelError);
        EXPECT_EQ(model.at(eth1).*key.field, old1);
        EXPECT_EQ(find(old2), &model.at(eth2));
        (model.*key.set)(eth1, 5000);
        EXPECT_EQ(find(5000), &model.at(eth1));
        EXPECT_EQ(find(old1), nullptr);
        (model.*key.set)(eth2, old1); // the released key is free again
        EXPECT_EQ(find(old1), &model.at(eth2));
    }
}

TEST_F(SimModel, InvalidChangesAreRefusedAndChangeNothing) {
    const std::function<void()> refused[] = {
        [&] { model.add_ethernet(1, 1); },
        [&] { model.add_tunnel(IfType::mpls_tunnel, 1); }, // named like the GRE tunnel
        [&] { model.add_subinterface(eth1, 100, 20); },
        [&] { model.add_subinterface(lo0, 11, 20); },
        [&] { model.set_pi(po1, 77); },        // only Ethernet ports hold a port index
        [&] { model.add_member(po1, eth3); },  // already a member
        [&] { model.add_member(po1, svi); },   // members are Ethernet ports
        [&] { model.add_member(eth2, eth1); }, // only into a port-channel
        [&] { model.set_member_operational(po1, eth2, true); },
        [&] { model.set_vlan(eth1, 10); }, // a routed port has no VLAN
        [&] { model.set_vlan(svi, 20); },  // a VLAN interface's VLAN is fixed
        [&] { model.add_vlan(10); },
        [&] { model.set_vlan_bd(20, 10); },      // VLAN 10's
        [&] { model.remove_vlan(10); },          // the primary of 20
        [&] { model.set_primary_vlan(10, 20); }, // 10 has secondaries
        [&] { model.set_primary_vlan(30, 20); }, // 20 is a secondary
        [&] { model.remove_interface(eth1); },   // has a sub-interface
        [&] { model.remove_interface(eth3); },   // is a member
    };
    const size_t interfaces = model.interfaces().size();
    for (size_t i = 0; i < std::size(refused); ++i)
        EXPECT_THROW(refused[i](), ModelError) << "case " << i;
    EXPECT_EQ(model.interfaces().size(), interfaces);
    EXPECT_EQ(model.at(po1).members.size(), 3u);
}

TEST_F(SimModel, RemovalReleasesEveryKeyAndTheMembers) {
    const Interface removed = model.at(subif);
    model.remove_interface(subif);
    for (const Interface *gone : {model.find(subif), model.find_by_iod(removed.iod),
                                  model.find_by_lif(removed.lif), model.find_by_name(removed.name)})
        EXPECT_EQ(gone, nullptr);
    EXPECT_NE(model.add_subinterface(eth2, 100, 5), subif); // serials are not reused
    const uint32_t pi = model.at(eth3).pi;
    model.remove_member(po1, eth3);
    model.remove_interface(eth3);
    EXPECT_NO_THROW(model.set_pi(eth4, pi)); // released
    model.remove_interface(po1);             // releases its members
    EXPECT_EQ(model.at(eth5).bundle, 0u);
    model.add_member(model.add_port_channel(2), eth5);
}

// Eight port-channels of two members each from port 33 on; ports 1-4
// routed with a sub-interface each; the rest access ports in VLANs 100,
// 101, ...; iods contiguous from 1, the management port's first.
TEST(SimLeaf, DefaultShape) {
    const Switch leaf = build_leaf_switch();
    std::map<IfType, size_t> counts;
    for (const auto &[ifindex, itf] : leaf.interfaces())
        ++counts[itf.type];
    EXPECT_EQ(counts, (std::map<IfType, size_t>{{IfType::mgmt_ether, 1}, {IfType::ethernet, 48},
                                                {IfType::port_channel, 8}, {IfType::vlan_if, 200},
                                                {IfType::subif, 4}, {IfType::loopback, 2},
                                                {IfType::null0, 1}}));
    EXPECT_EQ(leaf.find_by_iod(1)->type, IfType::mgmt_ether);
    EXPECT_NE(leaf.find_by_iod(leaf.interfaces().size()), nullptr);
    EXPECT_EQ(leaf.vlans().size(), 200u);
    const IfIndex pc8 = make_ifindex(IfType::port_channel, 8);
    EXPECT_EQ(leaf.operational_members(pc8),
              (std::vector{ethernet_ifindex(1, 47), ethernet_ifindex(1, 48)}));
    EXPECT_TRUE(leaf.at(pc8).switchport);
    EXPECT_EQ(leaf.find_by_name("Ethernet1/4.3004")->parent, ethernet_ifindex(1, 4));
    EXPECT_FALSE(leaf.at(ethernet_ifindex(1, 4)).switchport);
    EXPECT_EQ(leaf.at(ethernet_ifindex(1, 6)).vlan_info.vlan, 101u);
}

// Options that do not fit the ports are refused.
TEST(SimLeaf, OptionsShapeTheSwitchOrAreRefused) {
    const Switch small = build_leaf_switch(
        {.ethernet_ports = 6, .port_channels = 1, .vlans = 0, .subinterfaces = 0, .slice = 4});
    EXPECT_EQ(small.slice(), 4);
    EXPECT_EQ(small.at(ethernet_ifindex(1, 5)).bundle, make_ifindex(IfType::port_channel, 1));
    EXPECT_THROW(build_leaf_switch({.ethernet_ports = 8, .port_channels = 4, .subinterfaces = 1}),
                 ModelError);
}

TEST(SimLeaf, TheDefaultBackendAnswersFromTheDefaultSwitch) {
    set_active_backend(nullptr);
    default_switch() = build_leaf_switch();
    const IfIndex eth = ethernet_ifindex(1, 10);
    default_switch().set_link(eth, false);
    EXPECT_EQ(netif_is_linkup(default_switch().at(eth).iod), 0u);
    EXPECT_EQ(netif_is_protoup(default_switch().at(eth).iod), 1u);
    default_switch() = Switch();
}

} // namespace
