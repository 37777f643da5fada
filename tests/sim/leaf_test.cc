// The leaf switch builder, and the default model behind the default backend.
#include <map>

#include <gtest/gtest.h>

#include "netif.h"
#include "sim/leaf.h"
#include "sim/model_backend.h"

using namespace sim;

namespace {

// Eight port-channels of two members each from port 33 on; ports 1-4
// routed with a sub-interface each; the rest access ports in VLANs 100,
// 101, ...; iods contiguous from 1, the management port's first.
TEST(SimLeaf, DefaultShape) {
    const Switch leaf = build_leaf_switch();
    std::map<IfType, size_t> counts;
    for (const auto &[ifindex, itf] : leaf.interfaces())
        ++counts[itf.type];
    EXPECT_EQ(counts, (std::map<IfType, size_t>{{IfType::mgmt_ether, 1},
                                                {IfType::ethernet, 48},
                                                {IfType::port_channel, 8},
                                                {IfType::vlan_if, 200},
                                                {IfType::subif, 4},
                                                {IfType::loopback, 2},
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
