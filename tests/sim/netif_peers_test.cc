// The interface manager's answers through the extern "C" functions.
#include <array>
#include <cstring>
#include <set>
#include <string>

#include "netif.h"
#include "rtctx.h"
#include "sim_fixture.h"

using namespace sim;

namespace {

using SimPeers = SimSwitchTest;

using Predicate = uint32_t (*)(uint32_t);

struct NamedPredicate {
    const char *name;
    Predicate fn;
};

const NamedPredicate kClassPredicates[] = {
    {"ethernet", netif_is_ethernet},
    {"vlan", netif_is_vlan},
    {"loopback", netif_is_loopback},
    {"p2p", netif_is_native_p2p},
    {"null0", netif_is_null0},
    {"mgmt", netif_is_mgmtether},
    {"802.3ad", netif_is_super_802_3ad},
    {"gre", netif_is_gre_tunnel},
    {"stretch", netif_is_stretch_tunnel},
    {"mpls", netif_is_mpls_tunnel},
    {"6to4", netif_is_6to4_tunnel},
};

TEST_F(SimPeers, ClassPredicatesFollowTheKindAndAnswerOneOrZero) {
    const struct {
        IfIndex ifindex;
        std::set<std::string> truths;
    } rows[] = {
        {eth1, {"ethernet"}},
        {mgmt, {"ethernet", "mgmt"}},
        {po1, {"ethernet", "802.3ad"}},
        {svi, {"vlan"}},
        {subif, {"vlan"}},
        {lo0, {"loopback"}},
        {null0, {"null0"}},
        {gre, {"p2p", "gre"}},
        {stretch, {"p2p", "stretch"}},
        {mpls, {"p2p", "mpls"}},
        {six, {"p2p", "6to4"}},
    };
    for (const auto &row : rows)
        for (const NamedPredicate &p : kClassPredicates)
            EXPECT_EQ(p.fn(iod(row.ifindex)), row.truths.contains(p.name) ? 1u : 0u)
                << model.at(row.ifindex).name << " " << p.name;
    for (const NamedPredicate &p : kClassPredicates)
        EXPECT_EQ(p.fn(kUnknownIod), 0u) << p.name;
}

TEST_F(SimPeers, StatePredicatesFollowTheModel) {
    const struct {
        const char *name;
        Predicate fn;
        void (Switch::*set)(IfIndex, bool);
    } rows[] = {
        {"linkup", netif_is_linkup, &Switch::set_link},
        {"protoup", netif_is_protoup, &Switch::set_protocol},
        {"switching", netif_is_switching_enabled_on_iod, &Switch::set_switching},
    };
    for (const auto &row : rows) {
        (model.*row.set)(eth1, true);
        EXPECT_EQ(row.fn(iod(eth1)), 1u) << row.name;
        (model.*row.set)(eth1, false);
        EXPECT_EQ(row.fn(iod(eth1)), 0u) << row.name;
        EXPECT_EQ(row.fn(kUnknownIod), 0u) << row.name;
    }
    EXPECT_EQ(netif_is_switchport(iod(eth2)), 1u);
    EXPECT_EQ(netif_is_switchport(iod(eth1)), 0u);
    EXPECT_EQ(netif_is_switching_enabled_on_iod(iod(svi)), 1u);
}

TEST_F(SimPeers, ValuesByKind) {
    model.set_mtu(eth1, 9216);
    const struct {
        IfIndex ifindex;
        uint32_t mtu, encap, vlanid, parent;
    } rows[] = {
        {eth1, 9216, kEncapArpa, 0, 0},    {eth2, 1500, kEncapArpa, 10, 0},
        {svi, 1500, kEncapArpa, 10, 0},    {subif, 1500, kEncapDot1q, 200, eth1},
        {lo0, 1500, kEncapLoopback, 0, 0}, {null0, 1500, kEncapNull, 0, 0},
        {gre, 1476, kEncapTunnel, 0, 0},   {six, 1480, kEncapTunnel, 0, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(model.at(row.ifindex).name);
        const uint32_t i = iod(row.ifindex);
        EXPECT_EQ(netif_get_if_mtu(i), row.mtu);
        EXPECT_EQ(netif_get_if_encaptype(i), row.encap);
        EXPECT_EQ(netif_get_if_vlanid(i), row.vlanid);
        EXPECT_EQ(netif_get_sub_interface_parent(i), row.parent);
    }
    for (auto fn : {netif_get_if_mtu, netif_get_if_encaptype, netif_get_if_vlanid,
                    netif_get_sub_interface_parent, rtctx_if_get_context_id})
        EXPECT_EQ(fn(kUnknownIod), 0u);
}

TEST_F(SimPeers, VlanInfoOnlyForSwitchports) {
    model.set_slice(3);
    model.set_switchport_mode(po1, SwitchportMode::trunk);
    netif_vlan_info_t info{};
    uint32_t word = 0;
    ASSERT_EQ(netif_get_vlan_info(iod(eth2), &info, &word), 1u);
    EXPECT_EQ(info.slice, 3);
    EXPECT_EQ(info.vlan, 10u);
    EXPECT_EQ(word, kVlanModeAccess);
    ASSERT_EQ(netif_get_vlan_info(iod(po1), &info, &word), 1u);
    EXPECT_EQ(info.vlan, 1u); // a new switchport's VLAN
    EXPECT_EQ(word, kVlanModeTrunk);
    model.set_switchport_mode(eth2, SwitchportMode::trunk); // keeps the VLAN
    ASSERT_EQ(netif_get_vlan_info(iod(eth2), &info, &word), 1u);
    EXPECT_EQ(info.vlan, 10u);
    EXPECT_EQ(word, kVlanModeTrunk);

    info = {7, 7};
    word = 7;
    for (uint32_t i : {iod(eth1), iod(svi), kUnknownIod})
        EXPECT_EQ(netif_get_vlan_info(i, &info, &word), 0u);
    EXPECT_EQ(netif_get_vlan_info(iod(eth2), nullptr, &word), 0u);
    model.set_switchport_mode(po1, SwitchportMode::routed);
    EXPECT_EQ(netif_get_vlan_info(iod(po1), &info, &word), 0u);
    EXPECT_EQ(netif_get_if_vlanid(iod(po1)), 0u);
    EXPECT_EQ(info.slice, 7);
    EXPECT_EQ(info.vlan, 7u);
    EXPECT_EQ(word, 7u);
}

TEST_F(SimPeers, MacAddresses) {
    const Mac first = model.at(eth1).mac;
    EXPECT_EQ(model.at(subif).mac, first); // a sub-interface starts with its parent's
    EXPECT_EQ(model.at(svi).mac, model.system_mac());
    EXPECT_NE(model.at(eth2).mac, first);

    const Mac mac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    model.set_mac(eth1, mac);
    Mac out{};
    EXPECT_EQ(netif_get_if_src_mac_addr(iod(eth1), out.data()), status::ok);
    EXPECT_EQ(out, mac);
    EXPECT_EQ(netif_is_if_mac_addr(iod(eth1), mac.data()), 1u);
    EXPECT_EQ(netif_is_if_mac_addr(iod(eth1), first.data()), 0u);
    EXPECT_EQ(netif_is_if_mac_addr(iod(eth1), nullptr), 0u);

    Mac untouched;
    untouched.fill(0xEE);
    out = untouched;
    EXPECT_EQ(netif_get_if_src_mac_addr(kUnknownIod, out.data()), status::no_interface);
    EXPECT_EQ(out, untouched);
    EXPECT_EQ(netif_get_if_src_mac_addr(iod(eth1), nullptr), status::bad_argument);
}

} // namespace
