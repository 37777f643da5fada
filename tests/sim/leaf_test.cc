// The leaf switch builder, and the default model behind the default backend.
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "netif.h"
#include "sim/leaf.h"
#include "sim/model_backend.h"

using namespace sim;

namespace {

std::map<IfType, size_t> count_by_type(const Switch &model) {
    std::map<IfType, size_t> counts;
    for (const auto &[ifindex, itf] : model.interfaces())
        ++counts[itf.type];
    return counts;
}

TEST(SimLeaf, DefaultShape) {
    const Switch leaf = build_leaf_switch();
    const std::map<IfType, size_t> expected{
        {IfType::mgmt_ether, 1}, {IfType::ethernet, 48}, {IfType::port_channel, 8},
        {IfType::vlan_if, 200},  {IfType::subif, 4},     {IfType::loopback, 2},
        {IfType::null0, 1},
    };
    EXPECT_EQ(count_by_type(leaf), expected);
    EXPECT_EQ(leaf.vlans().size(), 200u);
    EXPECT_EQ(leaf.find_by_iod(1)->type, IfType::mgmt_ether);

    std::set<uint32_t> iods;
    for (const auto &[ifindex, itf] : leaf.interfaces())
        iods.insert(itf.iod);
    EXPECT_EQ(iods.size(), leaf.interfaces().size());
    EXPECT_EQ(*iods.begin(), 1u);
    EXPECT_EQ(*iods.rbegin(), leaf.interfaces().size()); // contiguous from 1

    for (uint32_t pc = 1; pc <= 8; ++pc) {
        const IfIndex channel = make_ifindex(IfType::port_channel, pc);
        EXPECT_EQ(leaf.operational_members(channel).size(), 2u);
        EXPECT_TRUE(leaf.at(channel).switchport);
        EXPECT_EQ(leaf.first_operational_member(channel), ethernet_ifindex(1, 31 + 2 * pc));
    }
    for (uint32_t port = 1; port <= 4; ++port) {
        const Interface &routed = leaf.at(ethernet_ifindex(1, port));
        EXPECT_FALSE(routed.switchport);
        const Interface *sub = leaf.find_by_name(routed.name + "." + std::to_string(3000 + port));
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->parent, routed.ifindex);
        EXPECT_EQ(sub->vlan_id, 3000 + port);
    }
    const Interface &first_access = leaf.at(ethernet_ifindex(1, 5));
    EXPECT_TRUE(first_access.switchport);
    EXPECT_EQ(first_access.vlan_info.vlan, 100u);
    EXPECT_EQ(leaf.at(ethernet_ifindex(1, 6)).vlan_info.vlan, 101u);
    EXPECT_NE(leaf.find_by_name("Vlan299"), nullptr);
}

TEST(SimLeaf, OptionsShapeTheSwitchOrAreRefused) {
    const Switch small = build_leaf_switch({.ethernet_ports = 6,
                                            .port_channels = 1,
                                            .members_per_channel = 3,
                                            .vlans = 0,
                                            .subinterfaces = 0,
                                            .loopbacks = 0,
                                            .management = false,
                                            .slice = 4});
    EXPECT_EQ(small.interfaces().size(), 6u + 1 + 1);
    EXPECT_EQ(small.slice(), 4);
    EXPECT_EQ(small.at(ethernet_ifindex(1, 1)).vlan_info.vlan, 1u);
    EXPECT_EQ(small.at(ethernet_ifindex(1, 4)).bundle, make_ifindex(IfType::port_channel, 1));

    EXPECT_THROW(build_leaf_switch({.ethernet_ports = 8, .port_channels = 4, .subinterfaces = 1}),
                 ModelError);
    EXPECT_THROW(build_leaf_switch({.vlans = 100, .first_vlan = 4000}), ModelError);
}

TEST(SimLeaf, TheDefaultBackendAnswersFromTheDefaultSwitch) {
    set_active_backend(nullptr);
    default_switch() = build_leaf_switch();
    const IfIndex eth = ethernet_ifindex(1, 10);
    uint32_t iod = 0;
    ASSERT_EQ(netif_get_iod_frm_ifindex(eth, &iod), status::ok);
    EXPECT_EQ(iod, default_switch().at(eth).iod);
    default_switch().set_link(eth, false);
    EXPECT_EQ(netif_is_linkup(iod), 0u);
    default_switch() = Switch();
    EXPECT_NE(netif_get_iod_frm_ifindex(eth, &iod), status::ok);
}

} // namespace
