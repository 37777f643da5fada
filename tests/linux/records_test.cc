// SPDX-License-Identifier: MIT
// Notifications recorded from a kernel (listening on RTNLGRP_LINK while a
// veth "port1", kernel ifindex 3, was brought up, lost carrier, took MTU
// 1400, joined bridge "br0" (ifindex 4) and was deleted), read back and
// turned into the cache's change records; and the records every sender
// builds.  No namespace needed.
#include <gtest/gtest.h>
#include <linux/if.h>
#include <libmnl/libmnl.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

#include "change_records.h"
#include "link_info.h"
#include "numbering.h"

using namespace lcache_linux;
using namespace lcache_records;

namespace {

struct Recorded {
    std::vector<unsigned char> bytes;
    nlmsghdr *message() { return reinterpret_cast<nlmsghdr *>(bytes.data()); }
};

// The recording `name`, without its ".bin".
Recorded load(const std::string &name) {
    std::ifstream in(std::string(LCACHE_RECORDED_DIR) + "/" + name + ".bin", std::ios::binary);
    Recorded r;
    r.bytes.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_GT(r.bytes.size(), sizeof(nlmsghdr)) << name;
    return r;
}

LinkInfo parsed(const std::string &name) {
    LinkInfo link;
    EXPECT_TRUE(parse_link(load(name).message(), link)) << name;
    return link;
}

constexpr uint32_t kPort1 = 3;
constexpr uint32_t kBr0 = 4;
constexpr uint32_t kPort1Ifindex = 26u << 24 | kPort1;

// In every recording port1's carrier and protocol went together.
struct Expected {
    const char *file;
    uint32_t up, mtu;
    const char *slave_kind;
    uint32_t master;
};

void PrintTo(const Expected &e, std::ostream *os) { *os << e.file; }

class RecordedLink : public ::testing::TestWithParam<Expected> {};

TEST_P(RecordedLink, ParsesAndBecomesRecordsOfTheSameFacts) {
    const Expected &e = GetParam();
    const LinkInfo link = parsed(e.file);
    EXPECT_STREQ(link.name, "port1");
    EXPECT_STREQ(link.kind, "veth");
    EXPECT_STREQ(link.slave_kind, e.slave_kind);
    EXPECT_EQ(classify(link), IfType::ethernet);
    EXPECT_TRUE(link.has_mac);
    EXPECT_EQ((std::array<uint32_t, 6>{link.index, os_ifindex(link), is_linkup(link),
                                       is_protoup(link), link.mtu, link.master}),
              (std::array{kPort1, kPort1Ifindex, e.up, e.up, e.mtu, e.master}));
    const lcache_l2_msg_t l2 = l2_record(link);
    const lcache_l3_msg_t l3 = l3_record(link);
    // A veth carries no VLAN.
    EXPECT_EQ(
        (std::array<uint32_t, 7>{l2.if_index, l2.iod, l2.mtu, l2.state, l3.iod, l3.mtu, l3.state}),
        (std::array<uint32_t, 7>{kPort1Ifindex, kPort1, e.mtu, LCACHE_L2_NO_VLAN, kPort1, e.mtu,
                                 e.up ? kL3Up : kL3Down}));
    EXPECT_EQ(memcmp(l2.mac, link.mac, 6), 0);
}

INSTANTIATE_TEST_SUITE_P(Port1, RecordedLink,
                         ::testing::Values(Expected{"port1-up", 1, 1500, "", 0},
                                           Expected{"port1-carrier-lost", 0, 1500, "", 0},
                                           Expected{"port1-mtu-1400", 0, 1400, "", 0},
                                           Expected{"port1-in-br0", 0, 1400, "bridge", kBr0}),
                         [](const auto &param_info) {
                             std::string name = param_info.param.file;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The bridge is its own type, a deletion still names the interface, and the
// bridge family's message is not a link message.
TEST(RecordedMessages, TheBridgeTheDeletionAndTheBridgeFamily) {
    const LinkInfo br0 = parsed("br0");
    EXPECT_EQ(classify(br0), IfType::bridge);
    EXPECT_EQ(os_ifindex(br0), 7u << 24 | kBr0);
    EXPECT_FALSE(br0.vlan_filtering) << "br0 was made without VLAN filtering";
    ASSERT_EQ(load("port1-deleted").message()->nlmsg_type, RTM_DELLINK);
    EXPECT_EQ(os_ifindex(parsed("port1-deleted")), kPort1Ifindex);
    LinkInfo link;
    EXPECT_FALSE(parse_link(load("port1-bridge-family").message(), link));
}

// Every way a message can be cut short or lie about its attributes; the
// undamaged recording parses in RecordedLink.
TEST(RecordedMessages, DamagedMessagesAreRefused) {
    const std::pair<const char *, void (*)(nlmsghdr *)> damages[] = {
        {"shorter than its ifinfomsg", [](nlmsghdr *h) { h->nlmsg_len = NLMSG_LENGTH(4); }},
        {"an attribute longer than the message",
         [](nlmsghdr *h) {
             static_cast<nlattr *>(mnl_nlmsg_get_payload_offset(h, sizeof(ifinfomsg)))->nla_len =
                 0xFFF0;
         }},
        {"no interface",
         [](nlmsghdr *h) { static_cast<ifinfomsg *>(mnl_nlmsg_get_payload(h))->ifi_index = 0; }},
        {"not a link message", [](nlmsghdr *h) { h->nlmsg_type = RTM_NEWADDR; }},
    };
    for (const auto &[what, damage] : damages) {
        Recorded r = load("port1-up");
        damage(r.message());
        LinkInfo link;
        EXPECT_FALSE(parse_link(r.message(), link)) << what;
    }
}

// What the bridge makes of a link's flags and type.
TEST(LinkRecords, APortChannelCanSayLinkWithoutProtocol) {
    LinkInfo bond;
    bond.index = 9;
    bond.type = IfType::port_channel;
    for (const auto &[flags, state] : {std::pair<uint32_t, uint32_t>{IFF_UP | IFF_LOWER_UP,
                                                                     LCACHE_L3_BUNDLE_LINK_ONLY},
                                       {IFF_UP | IFF_LOWER_UP | IFF_RUNNING, LCACHE_L3_UP},
                                       {0, kL3Down}}) {
        bond.flags = flags;
        EXPECT_EQ(l3_record(bond).state, state) << flags;
    }
}

TEST(LinkRecords, AVlanDeviceCarriesItsVlanAndLoMtuIsClamped) {
    LinkInfo vlan;
    vlan.index = 12;
    vlan.type = IfType::vlan;
    vlan.vlan_id = 100;
    vlan.mtu = 70000;
    const lcache_l2_msg_t l2 = l2_record(vlan);
    EXPECT_EQ((std::array<uint32_t, 5>{l2.state, l2.mode_flags & LCACHE_L2_VLAN_A, l2.vlan_a,
                                       l2.mtu, l2.if_index}),
              (std::array<uint32_t, 5>{kL2Vlan, LCACHE_L2_VLAN_A, 100, 0xFFFF, 9u << 24 | 12}));
}

// The fields the cache reads, as each builder fills them; a record without
// a VLAN leaves the VLAN fields empty whatever it is given.
TEST(ChangeRecords, EachBuilderFillsTheFieldsTheCacheReads) {
    const lcache_state_msg_t phy = phy_record(0x1A000003, 3, kPhyGone);
    EXPECT_EQ((std::array<uint32_t, 3>{phy.if_index, phy.iod, phy.state}),
              (std::array<uint32_t, 3>{0x1A000003, 3, LCACHE_PHY_GONE}));
    const lcache_state_msg_t param = l3_param_record(0x1A000003, 3);
    EXPECT_EQ((std::array<uint32_t, 3>{param.if_index, param.iod, param.state}),
              (std::array<uint32_t, 3>{0x1A000003, 3, 0}));
    const lcache_l3_msg_t l3 = l3_record(0x16000009, 9, kL3BundleLinkOnly, 9000);
    EXPECT_EQ((std::array<uint32_t, 4>{l3.if_index, l3.iod, l3.state, l3.mtu}),
              (std::array<uint32_t, 4>{0x16000009, 9, LCACHE_L3_BUNDLE_LINK_ONLY, 9000}));

    const std::array<uint8_t, 6> mac = {2, 0x53, 0, 0, 0, 7};
    // state, field, VLAN -> mode flags, vlan_a, vlan_b
    using Row = std::tuple<L2Code, VlanField, uint32_t, std::array<uint32_t, 3>>;
    for (const auto &[state, field, vlan, expected] :
         {Row{kL2Vlan, VlanField::a, 30, {LCACHE_L2_VLAN_A, 30, 0}},
          Row{kL2Vlan, VlanField::b, 10, {0, 0, 10}},
          Row{kL2NoVlan, VlanField::a, 10, {0, 0, 0}}}) {
        const lcache_l2_msg_t l2 = l2_record(0x1A000004, 4, state, mac, 1500, field, vlan);
        EXPECT_EQ((std::array<uint32_t, 3>{l2.mode_flags, l2.vlan_a, l2.vlan_b}), expected)
            << int{state} << " " << vlan;
        EXPECT_EQ((std::array<uint32_t, 4>{l2.if_index, l2.iod, l2.state, l2.mtu}),
                  (std::array<uint32_t, 4>{0x1A000004, 4, state, 1500}));
        EXPECT_TRUE(std::equal(mac.begin(), mac.end(), l2.mac));
    }
}

// Only a port-channel says "link up, protocol down"; protocol without link
// is down.
TEST(ChangeRecords, TheL3CodeOfEachLinkAndProtocolState) {
    using Row = std::tuple<bool, bool, L3Code, L3Code>; // link, protocol -> not bundle, bundle
    for (const auto &[link, protocol, plain, bundle] :
         {Row{false, false, kL3Down, kL3Down}, Row{false, true, kL3Down, kL3Down},
          Row{true, false, kL3Down, kL3BundleLinkOnly}, Row{true, true, kL3Up, kL3Up}}) {
        EXPECT_EQ(l3_code(link, protocol, false), plain) << link << protocol;
        EXPECT_EQ(l3_code(link, protocol, true), bundle) << link << protocol;
    }
}

// The fop record alone travels in network byte order, byte for byte.
TEST(ChangeRecords, TheFopRecordIsBigEndian) {
    const lcache_agg_fop_msg_t msg = fop_record(0x01020304, 0x05060708, 0x0A0B0C0D);
    const auto *bytes = reinterpret_cast<const uint8_t *>(&msg);
    EXPECT_EQ((std::vector(bytes, bytes + sizeof msg)),
              (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 10, 11, 12, 13}));
}

} // namespace
