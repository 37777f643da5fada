// SPDX-License-Identifier: MIT
// The peer services' answers through their extern "C" functions, their call
// counters and injected faults.  A failed call leaves its outputs as they
// were.  That each function is counted as itself and lives in the right
// library shows in the cache's suites, which count calls and run on
// liblcache's own fallbacks.
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "agg.h"
#include "dmap.h"
#include "hostctl.h"
#include "if_index.h"
#include "lifsvc.h"
#include "netif.h"
#include "phyport.h"
#include "rtctx.h"
#include "sim_fixture.h"
#include "vlan_mgr.h"

using namespace sim;

namespace {

using SimPeers = SimSwitchTest;

// What each kind of interface answers; an unknown iod answers 0 everywhere.
TEST_F(SimPeers, EachKindAnswersItsClassAndValues) {
    // clang-format off
    const std::pair<const char *, uint32_t (*)(uint32_t)> predicates[] = {
        {"ethernet", netif_is_ethernet}, {"vlan", netif_is_vlan}, {"loopback", netif_is_loopback},
        {"p2p", netif_is_native_p2p}, {"null0", netif_is_null0}, {"mgmt", netif_is_mgmtether},
        {"802.3ad", netif_is_super_802_3ad}, {"gre", netif_is_gre_tunnel},
        {"stretch", netif_is_stretch_tunnel}, {"mpls", netif_is_mpls_tunnel},
        {"6to4", netif_is_6to4_tunnel}, {"switchport", netif_is_switchport},
        {"switching", netif_is_switching_enabled_on_iod}};
    // clang-format on
    model.set_mtu(eth1, 9216);
    model.set_routing_context(eth1, 7);
    const struct {
        IfIndex ifindex;
        std::set<std::string> truths;
        uint32_t mtu, encap, vlanid, parent, context;
    } rows[] = {
        {eth1, {"ethernet"}, 9216, kEncapArpa, 0, 0, 7},
        {eth2, {"ethernet", "switchport", "switching"}, 1500, kEncapArpa, 10, 0, kDefaultContext},
        {mgmt, {"ethernet", "mgmt"}, 1500, kEncapArpa, 0, 0, kManagementContext},
        {po1, {"ethernet", "802.3ad"}, 1500, kEncapArpa, 0, 0, kDefaultContext},
        {svi, {"vlan", "switching"}, 1500, kEncapArpa, 10, 0, kDefaultContext},
        {subif, {"vlan"}, 1500, kEncapDot1q, 200, eth1, kDefaultContext},
        {lo0, {"loopback"}, 1500, kEncapLoopback, 0, 0, kDefaultContext},
        {null0, {"null0"}, 1500, kEncapNull, 0, 0, kDefaultContext},
        {gre, {"p2p", "gre"}, 1476, kEncapTunnel, 0, 0, kDefaultContext},
        {stretch, {"p2p", "stretch"}, 1476, kEncapTunnel, 0, 0, kDefaultContext},
        {mpls, {"p2p", "mpls"}, 1500, kEncapTunnel, 0, 0, kDefaultContext},
        {six, {"p2p", "6to4"}, 1480, kEncapTunnel, 0, 0, kDefaultContext},
        {0, {}, 0, 0, 0, 0, 0},
    };
    for (const auto &row : rows) {
        const uint32_t i = row.ifindex ? iod(row.ifindex) : kUnknownIod;
        for (const auto &[name, fn] : predicates)
            EXPECT_EQ(fn(i), row.truths.contains(name) ? 1u : 0u) << row.ifindex << " " << name;
        EXPECT_EQ((std::vector{netif_get_if_mtu(i), netif_get_if_encaptype(i),
                               netif_get_if_vlanid(i), netif_get_sub_interface_parent(i),
                               rtctx_if_get_context_id(i), netif_is_linkup(i)}),
                  (std::vector{row.mtu, row.encap, row.vlanid, row.parent, row.context,
                               row.ifindex ? 1u : 0u}))
            << row.ifindex;
        uint8_t type = 0;
        EXPECT_EQ(if_index_get_type(row.ifindex, &type),
                  row.ifindex ? status::ok : status::no_interface);
        EXPECT_EQ(type, row.ifindex >> 24);
    }
    // Only the base IPv4 table of the context is known.
    EXPECT_EQ(rtctx_if_get_table_id(iod(eth1), RTCTX_AF_IPV4, "base"), base_table_id(7));
    EXPECT_EQ(rtctx_if_get_table_id(iod(eth1), 2, "base") +
                  rtctx_if_get_table_id(iod(eth1), RTCTX_AF_IPV4, "mgmt"),
              0u);
}

TEST_F(SimPeers, StatesAndMacFollowTheModel) {
    for (const bool on : {false, true}) {
        model.set_link(eth1, on);
        model.set_protocol(eth1, on);
        model.set_switching(eth1, on);
        EXPECT_EQ(netif_is_linkup(iod(eth1)) + netif_is_protoup(iod(eth1)) +
                      netif_is_switching_enabled_on_iod(iod(eth1)),
                  on ? 3u : 0u);
    }
    const Mac mac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    model.set_mac(eth1, mac);
    Mac out{};
    EXPECT_EQ(netif_get_if_src_mac_addr(iod(eth1), out.data()), status::ok);
    EXPECT_EQ(out, mac);
    EXPECT_EQ(netif_is_if_mac_addr(iod(eth1), mac.data()), 1u);
    EXPECT_EQ(netif_is_if_mac_addr(iod(eth2), mac.data()), 0u);
    EXPECT_EQ(netif_get_if_src_mac_addr(iod(eth1), nullptr), status::bad_argument);
}

// A switchport's VLAN: an access port's, a new trunk's VLAN 1, a trunk
// that was an access port keeps its VLAN.
TEST_F(SimPeers, VlanInfoOnlyForSwitchports) {
    model.set_slice(3);
    model.set_switchport_mode(po1, SwitchportMode::trunk);
    netif_vlan_info_t info{};
    uint32_t word = 0;
    for (const auto &[ifindex, vlan, mode] :
         {std::tuple{eth2, 10u, kVlanModeAccess}, {po1, 1u, kVlanModeTrunk}}) {
        ASSERT_EQ(netif_get_vlan_info(iod(ifindex), &info, &word), 1u);
        EXPECT_EQ((std::vector<uint32_t>{info.slice, info.vlan, word}),
                  (std::vector<uint32_t>{3, vlan, mode}));
        model.set_switchport_mode(ifindex, SwitchportMode::trunk);
    }
    ASSERT_EQ(netif_get_vlan_info(iod(eth2), &info, &word), 1u);
    EXPECT_EQ((std::vector<uint32_t>{info.vlan, word}),
              (std::vector<uint32_t>{10, kVlanModeTrunk}));
    model.set_switchport_mode(po1, SwitchportMode::routed);
    for (uint32_t i : {iod(eth1), iod(svi), iod(po1)})
        EXPECT_EQ(netif_get_vlan_info(i, &info, &word), 0u);
    EXPECT_EQ(netif_get_vlan_info(iod(eth2), nullptr, &word), 0u);
    EXPECT_EQ((std::vector<uint32_t>{info.vlan, word}),
              (std::vector<uint32_t>{10, kVlanModeTrunk}));
}

// A name is copied whole or not at all; owner data and extensions go by key.
TEST_F(SimPeers, NamesOwnerDataAndPortModes) {
    EXPECT_STREQ(netif_get_if_name(iod(subif)), "Ethernet1/1.100");
    EXPECT_EQ(netif_get_if_name(kUnknownIod), nullptr);
    char buf[32] = "x";
    EXPECT_EQ(netif_get_ifindex_name(po1, buf, sizeof "port-channel1" - 1), status::bad_argument);
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(netif_get_ifindex_name(po1, buf, sizeof "port-channel1"), status::ok);
    EXPECT_STREQ(buf, "port-channel1");

    model.set_private_data(eth1, 2, {0xBBBB, 4});
    model.set_extension(eth1, 1, 0x1234);
    uint32_t size = 99;
    EXPECT_EQ(netif_get_private_data(iod(eth1), 2, &size), 0xBBBBu);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(netif_get_private_data(iod(eth1), 3, &size), 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(netif_get_extension(iod(eth1), 1) + netif_is_extension_set(iod(eth1), 1), 0x1235u);
    EXPECT_EQ(netif_is_extension_set(iod(eth1), 2), 0u);

    model.set_port_mode(eth2, kPortModeIps);
    netif_port_mode_req_t req[3]{};
    const IfIndex asked[] = {eth1, eth2, kUnknownIfindex};
    for (int n = 0; n < 3; ++n)
        req[n].if_index = asked[n], req[n].port_mode = 7;
    EXPECT_EQ(netif_get_ifindex_port_mode_list(req, 3), status::no_interface);
    EXPECT_EQ(req[0].port_mode + req[1].port_mode, 14u);
    ASSERT_EQ(netif_get_ifindex_port_mode_list(req, 2), status::ok); // the count bounds the list
    EXPECT_EQ(std::pair(req[0].port_mode, req[1].port_mode),
              std::pair(kPortModeNormal, kPortModeIps));
    uint32_t mode = 0;
    ASSERT_EQ(phyport_gldb_get_ifindex_port_mode(eth2, &mode), status::ok);
    EXPECT_EQ(mode, kPortModeIps);
    EXPECT_EQ(phyport_gldb_get_ifindex_port_mode(po1, &mode), status::not_applicable);
}

// ifindex -> key -> ifindex for the three keyed translations.
TEST_F(SimPeers, KeysTranslateBothWays) {
    const struct {
        uint32_t (*to_key)(uint32_t, uint32_t *), (*to_ifindex)(uint32_t, uint32_t *);
        uint32_t Interface::*key;
        std::vector<IfIndex> keyed;
        IfIndex keyless;
        uint32_t unknown_key;
    } rows[] = {
        // clang-format off
        {netif_get_iod_frm_ifindex, netif_get_ifindex_frm_iod, &Interface::iod,
         {mgmt, eth1, po1, svi, subif, null0, six}, eth2, kUnknownIod},
        {dmap_lib_ifidx_to_di, dmap_lib_si_to_ifidx, &Interface::pi, {eth1, eth5}, svi, kNoPi},
        {lifsvc_query_ifindex_to_lif, lifsvc_query_lif_to_ifindex, &Interface::lif,
         {eth1, po1, svi, subif, gre}, lo0, kNoLif},
        // clang-format on
    };
    model.set_iod(eth2, kNoIod); // the iod row's keyless interface
    for (const auto &row : rows) {
        uint32_t out = 0;
        for (IfIndex ifindex : row.keyed) {
            ASSERT_EQ(row.to_key(ifindex, &out), status::ok);
            EXPECT_EQ(out, model.at(ifindex).*row.key);
            ASSERT_EQ(row.to_ifindex(out, &out), status::ok);
            EXPECT_EQ(out, ifindex);
        }
        EXPECT_EQ(row.to_key(row.keyless, &out), status::not_applicable);
        EXPECT_EQ(row.to_key(kUnknownIfindex, &out), status::no_interface);
        EXPECT_EQ(row.to_ifindex(row.unknown_key, &out), status::no_interface);
        EXPECT_EQ(out, row.keyed.back());
        EXPECT_EQ(row.to_key(eth1, nullptr), status::bad_argument);
    }
}

// The port-channel's info, its member by hash and its port index all follow
// its operational members: po1 has eth3 and eth5, and eth4 not operational.
TEST_F(SimPeers, PortChannelsAnswerThroughTheirOperationalMembers) {
    const auto fop = [](IfIndex channel) {
        agg_pc_info_t info{};
        uint32_t member = 0;
        std::memcpy(info.bytes + AGG_PC_INFO_IFINDEX_OFF, &channel, sizeof channel);
        const uint32_t result = agg_get_pc_info(&info);
        std::memcpy(&member, info.bytes + AGG_PC_INFO_FOP_OFF, sizeof member);
        EXPECT_EQ(info.bytes[AGG_PC_INFO_MEMBERS_OFF], result ? 0 : 3);
        return result ? result : member;
    };
    EXPECT_EQ(fop(po1), eth3);
    EXPECT_EQ(fop(eth3), status::not_applicable);
    model.set_member_operational(po1, eth4, true);
    uint32_t member = 0, di = 0;
    for (const auto &[hash, expected] :
         {std::pair{0u, eth3}, {1, eth4}, {2, eth5}, {3, eth3}, {5, eth5}, {0x104, eth4}}) {
        EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(po1, hash, &member), status::ok);
        EXPECT_EQ(member, expected) << "hash " << hash;
    }
    for (IfIndex port : {eth3, eth4, eth5}) {
        ASSERT_EQ(dmap_lib_ifidx_to_di(po1, &di), status::ok);
        EXPECT_EQ(di, model.at(port).pi);
        model.set_member_operational(po1, port, false);
    }
    EXPECT_EQ(fop(po1), 0u);
    EXPECT_EQ(dmap_lib_ifidx_to_di(po1, &di), status::no_operational_member);
    EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(po1, 0, &member), status::no_operational_member);
    EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(eth1, 0, &member), status::not_applicable);
}

// VLAN 20, a secondary of VLAN 10, answers its primary.
TEST_F(SimPeers, VlanBridgeDomainPrimaryAndFloodIndex) {
    model.set_slice(2);
    model.set_vlan_bd(20, 777);
    // clang-format off
    const std::tuple<vlan_key_t, uint32_t, uint16_t, uint32_t> rows[] = {
        {{2, 10}, status::ok, 10, 10}, {{2, 20}, status::ok, 777, 10},
        {{1, 10}, status::wrong_slice, 1, 1}, {{2, 40}, status::no_vlan, 1, 1},
        {{2, 0x1000A}, status::no_vlan, 1, 1}};
    // clang-format on
    for (const auto &[key, result, bd, primary] : rows) {
        uint16_t got_bd = 1, bd_alone = 1;
        uint32_t got_primary = 1;
        EXPECT_EQ(vlan_get_bd_and_primary_vlan(key, &got_bd, &got_primary), result) << key.vlan;
        EXPECT_EQ(vlan_get_bd(key, &bd_alone), result) << key.vlan;
        EXPECT_EQ(std::tuple(got_bd, got_primary, bd_alone), std::tuple(bd, primary, bd));
    }
    uint32_t di = 0;
    ASSERT_EQ(dmap_lib_bd_to_di(777, &di), status::ok); // the flood index goes with the bd
    EXPECT_EQ(di, default_flood_index(777));
    EXPECT_EQ(dmap_lib_bd_to_di(20, &di), status::no_bridge_domain);
}

// A status fault answers the next calls and leaves the outputs alone; a
// value fault answers until cleared or replaced, cut to the function's type.
TEST_F(SimPeers, AFaultAnswersTheCallsItIsArmedFor) {
    inject_fault(PeerFn::dmap_lib_ifidx_to_di, {FaultKind::status, 77, 2});
    inject_fault(PeerFn::netif_is_linkup, {FaultKind::value, 0, std::nullopt});
    inject_fault(PeerFn::netif_get_if_name, {FaultKind::value, 0, 1});
    inject_fault(PeerFn::hostctl_slice_get, {FaultKind::value, 0x12345, 1});
    uint32_t di = 5;
    for (const uint32_t result : {77u, 77u, status::ok}) {
        EXPECT_EQ(dmap_lib_ifidx_to_di(eth1, &di), result);
        EXPECT_EQ(di, result ? 5u : model.at(eth1).pi); // a failure leaves the output alone
    }
    EXPECT_EQ(call_count(PeerFn::dmap_lib_ifidx_to_di), 3u); // faulted calls count too
    EXPECT_EQ(netif_is_linkup(iod(eth1)) + netif_is_linkup(iod(eth1)), 0u);
    EXPECT_EQ(netif_is_protoup(iod(eth1)), 1u);
    EXPECT_EQ(netif_get_if_name(iod(eth1)), nullptr);
    EXPECT_STREQ(netif_get_if_name(iod(eth1)), "Ethernet1/1");
    EXPECT_EQ(hostctl_slice_get(), 0x2345);
    EXPECT_EQ(hostctl_slice_get(), model.slice());
    inject_fault(PeerFn::netif_is_linkup, {FaultKind::value, 2, std::nullopt}); // replaces
    EXPECT_EQ(netif_is_linkup(kUnknownIod), 2u);
    clear_faults();
    EXPECT_EQ(netif_is_linkup(iod(eth1)), 1u);
}

TEST(SimFaults, FaultsThatCannotDescribeAFailureAreRefused) {
    const std::pair<PeerFn, Fault> refused[] = {
        {PeerFn::netif_is_linkup, {FaultKind::status, 5, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::value, 5, 1}},
        {PeerFn::vlan_get_bd, {FaultKind::status, 5, 0}},
        {PeerFn::netif_get_if_name, {FaultKind::value, 1, 1}},
        {PeerFn::netif_get_if_name, {FaultKind::status, 1, 1}},
    };
    for (const auto &[fn, fault] : refused)
        EXPECT_THROW(inject_fault(fn, fault), std::invalid_argument) << peer_fn_name(fn);
}

} // namespace
