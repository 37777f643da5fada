// Notifications recorded from a kernel (listening on RTNLGRP_LINK while a
// veth "port1", kernel ifindex 3, was brought up, lost carrier, took MTU
// 1400, joined bridge "br0" (ifindex 4) and was deleted), read back and
// turned into the cache's change records.  No namespace needed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <libmnl/libmnl.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "change_records.h"
#include "link_info.h"
#include "numbering.h"

using namespace lcache_linux;

namespace {

struct Recorded {
    std::vector<unsigned char> bytes;
    const nlmsghdr *message() const { return reinterpret_cast<const nlmsghdr *>(bytes.data()); }
};

Recorded load(const char *name) {
    std::ifstream in(std::string(LCACHE_RECORDED_DIR) + "/" + name, std::ios::binary);
    Recorded r;
    r.bytes.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_GT(r.bytes.size(), sizeof(nlmsghdr)) << name;
    return r;
}

constexpr uint32_t kPort1 = 3;
constexpr uint32_t kBr0 = 4;
constexpr uint32_t kPort1Ifindex = 26u << 24 | kPort1;

struct Expected {
    const char *file;
    bool linkup;
    bool protoup;
    uint32_t mtu;
    const char *slave_kind;
    uint32_t master;
};

void PrintTo(const Expected &e, std::ostream *os) { *os << e.file; }

class RecordedLink : public ::testing::TestWithParam<Expected> {};

TEST_P(RecordedLink, ParsesAsTheKernelSaidIt) {
    const Expected &e = GetParam();
    Recorded r = load(e.file);
    LinkInfo link;
    ASSERT_TRUE(parse_link(r.message(), link));
    EXPECT_EQ(link.index, kPort1);
    EXPECT_STREQ(link.name, "port1");
    EXPECT_STREQ(link.kind, "veth");
    EXPECT_EQ(classify(link), IfType::ethernet);
    EXPECT_EQ(os_ifindex(link), kPort1Ifindex);
    EXPECT_EQ(is_linkup(link), e.linkup);
    EXPECT_EQ(is_protoup(link), e.protoup);
    EXPECT_EQ(link.mtu, e.mtu);
    EXPECT_STREQ(link.slave_kind, e.slave_kind);
    EXPECT_EQ(link.master, e.master);
    EXPECT_TRUE(link.has_mac);
}

TEST_P(RecordedLink, BecomesRecordsOfTheSameFacts) {
    const Expected &e = GetParam();
    Recorded r = load(e.file);
    LinkInfo link;
    ASSERT_TRUE(parse_link(r.message(), link));
    lcache_l2_msg_t l2 = l2_record(link);
    EXPECT_EQ(l2.if_index, kPort1Ifindex);
    EXPECT_EQ(l2.iod, kPort1);
    EXPECT_EQ(l2.mtu, e.mtu);
    EXPECT_EQ(l2.state, LCACHE_L2_NO_VLAN) << "a veth carries no VLAN";
    EXPECT_EQ(memcmp(l2.mac, link.mac, 6), 0);
    lcache_l3_msg_t l3 = l3_record(link);
    EXPECT_EQ(l3.iod, kPort1);
    EXPECT_EQ(l3.state, e.protoup ? LCACHE_L3_UP : kL3Down);
    EXPECT_EQ(l3.mtu, e.mtu);
}

INSTANTIATE_TEST_SUITE_P(
    Port1, RecordedLink,
    ::testing::Values(Expected{"port1-up.bin", true, true, 1500, "", 0},
                      Expected{"port1-carrier-lost.bin", false, false, 1500, "", 0},
                      Expected{"port1-mtu-1400.bin", false, false, 1400, "", 0},
                      Expected{"port1-in-br0.bin", false, false, 1400, "bridge", kBr0}),
    [](const auto &param_info) {
        std::string name = param_info.param.file;
        name = name.substr(0, name.find('.'));
        for (char &c : name)
            if (c == '-')
                c = '_';
        return name;
    });

TEST(RecordedMessages, TheBridgeItselfIsItsOwnType) {
    Recorded r = load("br0.bin");
    LinkInfo link;
    ASSERT_TRUE(parse_link(r.message(), link));
    EXPECT_EQ(classify(link), IfType::bridge);
    EXPECT_EQ(os_ifindex(link), 7u << 24 | kBr0);
    EXPECT_FALSE(link.vlan_filtering) << "br0 was made without VLAN filtering";
}

TEST(RecordedMessages, ADeletionStillNamesTheInterface) {
    Recorded r = load("port1-deleted.bin");
    ASSERT_EQ(r.message()->nlmsg_type, RTM_DELLINK);
    LinkInfo link;
    ASSERT_TRUE(parse_link(r.message(), link));
    EXPECT_EQ(os_ifindex(link), kPort1Ifindex);
}

TEST(RecordedMessages, TheBridgeFamilyIsNotALinkMessage) {
    LinkInfo link;
    EXPECT_FALSE(parse_link(load("port1-bridge-family.bin").message(), link));
}

// Every way a message can be cut short or lie about its attributes.
TEST(RecordedMessages, DamagedMessagesAreRefused) {
    Recorded good = load("port1-up.bin");
    auto damaged = [&](auto &&damage) {
        Recorded r = good;
        damage(r);
        LinkInfo link;
        return parse_link(r.message(), link);
    };
    auto header = [](Recorded &r) { return reinterpret_cast<nlmsghdr *>(r.bytes.data()); };
    EXPECT_FALSE(damaged([&](Recorded &r) { header(r)->nlmsg_len = NLMSG_LENGTH(4); }))
        << "shorter than its ifinfomsg";
    EXPECT_FALSE(damaged([&](Recorded &r) {
        // The first attribute claims to run past the message.
        auto *attr = reinterpret_cast<nlattr *>(r.bytes.data() + NLMSG_LENGTH(sizeof(ifinfomsg)));
        attr->nla_len = 0xFFF0;
    })) << "an attribute longer than the message";
    EXPECT_FALSE(damaged([&](Recorded &r) {
        auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_get_payload(header(r)));
        ifi->ifi_index = 0;
    })) << "no interface";
    EXPECT_FALSE(damaged([&](Recorded &r) { header(r)->nlmsg_type = RTM_NEWADDR; }))
        << "not a link message";
    EXPECT_TRUE(damaged([](Recorded &) {})) << "the undamaged copy parses";
}

TEST(ChangeRecords, APortChannelCanSayLinkWithoutProtocol) {
    LinkInfo bond;
    bond.index = 9;
    std::strcpy(bond.kind, "bond");
    bond.flags = IFF_UP | IFF_LOWER_UP;
    EXPECT_EQ(l3_record(bond).state, LCACHE_L3_BUNDLE_LINK_ONLY);
    bond.flags |= IFF_RUNNING;
    EXPECT_EQ(l3_record(bond).state, LCACHE_L3_UP);
    bond.flags = 0;
    EXPECT_EQ(l3_record(bond).state, kL3Down);
}

TEST(ChangeRecords, AVlanDeviceCarriesItsVlanAndLoMtuIsClamped) {
    LinkInfo vlan;
    vlan.index = 12;
    std::strcpy(vlan.kind, "vlan");
    vlan.vlan_id = 100;
    vlan.mtu = 70000;
    lcache_l2_msg_t l2 = l2_record(vlan);
    EXPECT_EQ(l2.state, kL2Vlan);
    EXPECT_EQ(l2.mode_flags & LCACHE_L2_VLAN_A, LCACHE_L2_VLAN_A);
    EXPECT_EQ(l2.vlan_a, 100u);
    EXPECT_EQ(l2.mtu, 0xFFFFu);
    EXPECT_EQ(l2.if_index, 9u << 24 | 12);
}

TEST(ChangeRecords, TheFopRecordIsBigEndian) {
    lcache_agg_fop_msg_t msg = fop_record(0x16000009, 0x1A000003, 0);
    EXPECT_EQ(ntohl(msg.if_index), 0x16000009u);
    EXPECT_EQ(ntohl(msg.old_fop), 0x1A000003u);
    EXPECT_EQ(msg.new_fop, 0u);
}

} // namespace
