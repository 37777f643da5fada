// Identifier translations and the port-channel, VLAN, slice, type and
// port-mode answers through the extern "C" functions.
#include <cstring>
#include <vector>

#include "agg.h"
#include "dmap.h"
#include "hostctl.h"
#include "if_index.h"
#include "lifsvc.h"
#include "netif.h"
#include "phyport.h"
#include "sim_fixture.h"
#include "vlan_mgr.h"

using namespace sim;

namespace {

using SimPeers = SimSwitchTest;

template <class T> T field_at(const agg_pc_info_t &info, size_t offset) {
    T value;
    std::memcpy(&value, info.bytes + offset, sizeof value);
    return value;
}

agg_pc_info_t pc_info_request(IfIndex channel) {
    agg_pc_info_t info;
    std::memset(info.bytes, 0xEE, sizeof info.bytes);
    std::memcpy(info.bytes + AGG_PC_INFO_IFINDEX_OFF, &channel, sizeof channel);
    return info;
}

TEST_F(SimPeers, PortChannelInfoAnswersTheFirstOperationalMember) {
    agg_pc_info_t info = pc_info_request(po1);
    ASSERT_EQ(agg_get_pc_info(&info), status::ok);
    EXPECT_EQ(field_at<uint32_t>(info, AGG_PC_INFO_FOP_OFF), eth3); // eth4 is not operational
    EXPECT_EQ(field_at<uint16_t>(info, AGG_PC_INFO_MEMBERS_OFF), 3);
    EXPECT_EQ(field_at<uint32_t>(info, AGG_PC_INFO_IFINDEX_OFF), po1);

    model.set_member_operational(po1, eth3, false);
    model.set_member_operational(po1, eth5, false);
    info = pc_info_request(po1);
    ASSERT_EQ(agg_get_pc_info(&info), status::ok);
    EXPECT_EQ(field_at<uint32_t>(info, AGG_PC_INFO_FOP_OFF), 0u);

    for (IfIndex other : {eth3, IfIndex{0x1600FFFF}}) {
        info = pc_info_request(other);
        const agg_pc_info_t before = info;
        EXPECT_NE(agg_get_pc_info(&info), status::ok);
        EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    }
}

TEST_F(SimPeers, MemberByHashSpreadsOverOperationalMembers) {
    model.set_member_operational(po1, eth4, true);
    const struct {
        uint32_t hash;
        IfIndex member;
    } rows[] = {{0, eth3}, {1, eth4}, {2, eth5}, {3, eth3}, {5, eth5}, {0x104, eth4}};
    for (const auto &row : rows) {
        uint32_t member = 0;
        EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(po1, row.hash, &member), status::ok);
        EXPECT_EQ(member, row.member) << "hash " << row.hash;
    }
    model.set_member_operational(po1, eth4, false);
    uint32_t member = 0;
    EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(po1, 1, &member), status::ok);
    EXPECT_EQ(member, eth5);

    for (IfIndex up : {eth3, eth5})
        model.set_member_operational(po1, up, false);
    member = 7;
    EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(po1, 0, &member), status::no_operational_member);
    EXPECT_EQ(agg_get_pc_mbr_ifidx_from_rbh(eth1, 0, &member), status::not_applicable);
    EXPECT_EQ(member, 7u);
}

using Translate = uint32_t (*)(uint32_t, uint32_t *);

// ifindex -> key -> ifindex for the three keyed translations; a key or an
// interface that does not translate leaves the output alone.
TEST_F(SimPeers, KeysTranslateBothWays) {
    const struct {
        const char *what;
        Translate to_key, to_ifindex;
        uint32_t Interface::*key;
        std::vector<IfIndex> keyed;
        IfIndex keyless;
        uint32_t unknown_key;
    } rows[] = {
        {"iod",
         netif_get_iod_frm_ifindex,
         netif_get_ifindex_frm_iod,
         &Interface::iod,
         {mgmt, eth1, po1, svi, subif, null0, six},
         eth2,
         kUnknownIod},
        {"pi",
         dmap_lib_ifidx_to_di,
         dmap_lib_si_to_ifidx,
         &Interface::pi,
         {eth1, eth5},
         svi,
         kNoPi},
        {"lif",
         lifsvc_query_ifindex_to_lif,
         lifsvc_query_lif_to_ifindex,
         &Interface::lif,
         {eth1, po1, svi, subif, gre},
         lo0,
         kNoLif},
    };
    model.set_iod(eth2, kNoIod); // the iod row's keyless interface
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        uint32_t out = 0;
        for (IfIndex ifindex : row.keyed) {
            ASSERT_EQ(row.to_key(ifindex, &out), status::ok);
            EXPECT_EQ(out, model.at(ifindex).*row.key);
            ASSERT_EQ(row.to_ifindex(out, &out), status::ok);
            EXPECT_EQ(out, ifindex);
        }
        out = 7;
        EXPECT_EQ(row.to_key(row.keyless, &out), status::not_applicable);
        EXPECT_EQ(row.to_key(0x1A00FFFF, &out), status::no_interface);
        EXPECT_EQ(row.to_ifindex(row.unknown_key, &out), status::no_interface);
        EXPECT_EQ(out, 7u);
        EXPECT_EQ(row.to_key(eth1, nullptr), status::bad_argument);
    }
}

TEST_F(SimPeers, PortChannelsLeaveThroughTheirFirstOperationalMember) {
    uint32_t di = 0;
    ASSERT_EQ(dmap_lib_ifidx_to_di(po1, &di), status::ok);
    EXPECT_EQ(di, model.at(eth3).pi);
    model.set_member_operational(po1, eth3, false);
    ASSERT_EQ(dmap_lib_ifidx_to_di(po1, &di), status::ok);
    EXPECT_EQ(di, model.at(eth5).pi);
    model.set_member_operational(po1, eth5, false);
    EXPECT_EQ(dmap_lib_ifidx_to_di(po1, &di), status::no_operational_member);
    EXPECT_EQ(di, model.at(eth5).pi);
}

TEST_F(SimPeers, VlanBridgeDomainPrimaryAndFloodIndex) {
    model.set_slice(2);
    model.set_vlan_bd(20, 777);
    const struct {
        vlan_key_t key;
        uint32_t status;
        uint16_t bd;
        uint32_t primary;
    } rows[] = {
        {{2, 10}, status::ok, 10, 10},
        {{2, 20}, status::ok, 777, 10}, // a secondary answers its primary
        {{1, 10}, status::wrong_slice, 0, 0},
        {{2, 40}, status::no_vlan, 0, 0},
        {{2, 0x1000A}, status::no_vlan, 0, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(uint32_t{row.key.vlan});
        uint16_t bd = 0xEEEE;
        uint32_t primary = 0xEEEE;
        EXPECT_EQ(vlan_get_bd_and_primary_vlan(row.key, &bd, &primary), row.status);
        EXPECT_EQ(bd, row.status == status::ok ? row.bd : 0xEEEE);
        EXPECT_EQ(primary, row.status == status::ok ? row.primary : 0xEEEE);
        bd = 0xEEEE;
        EXPECT_EQ(vlan_get_bd(row.key, &bd), row.status);
        EXPECT_EQ(bd, row.status == status::ok ? row.bd : 0xEEEE);
    }

    uint32_t di = 0;
    ASSERT_EQ(dmap_lib_bd_to_di(777, &di), status::ok); // the flood index goes with the bd
    EXPECT_EQ(di, default_flood_index(777));
    model.set_flood_index(777, 0x5555);
    ASSERT_EQ(dmap_lib_bd_to_di(777, &di), status::ok);
    EXPECT_EQ(di, 0x5555u);
    EXPECT_EQ(dmap_lib_bd_to_di(20, &di), status::no_bridge_domain);
    EXPECT_EQ(di, 0x5555u);
}

TEST_F(SimPeers, SliceTypesAndPortModes) {
    model.set_slice(5);
    EXPECT_EQ(hostctl_slice_get(), 5);
    for (IfIndex ifindex : {mgmt, eth1, po1, svi, subif, lo0, null0, gre, stretch, mpls, six}) {
        uint8_t type = 0;
        ASSERT_EQ(if_index_get_type(ifindex, &type), status::ok);
        EXPECT_EQ(type, ifindex >> 24);
    }
    uint8_t type = 7;
    EXPECT_EQ(if_index_get_type(0x1A00FFFF, &type), status::no_interface);
    EXPECT_EQ(type, 7);

    model.set_port_mode(eth1, kPortModeIps);
    uint32_t mode = 0;
    ASSERT_EQ(phyport_gldb_get_ifindex_port_mode(eth1, &mode), status::ok);
    EXPECT_EQ(mode, kPortModeIps);
    EXPECT_EQ(phyport_gldb_get_ifindex_port_mode(po1, &mode), status::not_applicable);
    EXPECT_EQ(mode, kPortModeIps);
}

} // namespace
