// The attribute queries: the gate, the entry, the dirty bit and the counters
// they share, then each member's own rule.
#include <cstring>
#include <functional>
#include <vector>

#include "query_fixture.h"

namespace {

using lctest::entry_allocs;
using lctest::StatsDelta;
using lctest::sync_without;
using sim::Fault;
using sim::FaultKind;
using sim::PeerFn;

struct Flag {
    const char *name;
    uint32_t (*query)(uint32_t iod);
    uint32_t bit;
    lcache_stat_row_t row;
    PeerFn peer;
    uint8_t lcache_if_entry_t::*field;
    uint8_t mask;
};

const Flag kFlags[] = {
    {"switchport", lcache_netif_is_switchport, 0x8000, LCACHE_STAT_SWITCHPORT,
     PeerFn::netif_is_switchport, &lcache_if_entry_t::flags, 0x01},
    {"switching", lcache_netif_is_switching_enabled_on_iod, 0x10000, LCACHE_STAT_SWITCHING,
     PeerFn::netif_is_switching_enabled_on_iod, &lcache_if_entry_t::flags, 0x02},
    {"linkup", lcache_netif_is_linkup, 0x20000, LCACHE_STAT_LINKUP, PeerFn::netif_is_linkup,
     &lcache_if_entry_t::flags, 0x04},
    {"protoup", lcache_netif_is_protoup, 0x40000, LCACHE_STAT_PROTOUP, PeerFn::netif_is_protoup,
     &lcache_if_entry_t::flags, 0x08},
    {"ethernet", lcache_netif_is_ethernet, 0x80000, LCACHE_STAT_ETHERNET, PeerFn::netif_is_ethernet,
     &lcache_if_entry_t::flags, 0x10},
    {"is_vlan", lcache_netif_is_vlan, 0x100000, LCACHE_STAT_IS_VLAN, PeerFn::netif_is_vlan,
     &lcache_if_entry_t::flags, 0x20},
    {"null0", lcache_netif_is_null0, 0x400000, LCACHE_STAT_NULL, PeerFn::netif_is_null0,
     &lcache_if_entry_t::flags, 0x80},
    {"p2p", lcache_netif_is_native_p2p, 0x800000, LCACHE_STAT_P2P, PeerFn::netif_is_native_p2p,
     &lcache_if_entry_t::flags2, 0x02},
    {"loopback", lcache_netif_is_loopback, 0x1000000, LCACHE_STAT_LOOPBACK,
     PeerFn::netif_is_loopback, &lcache_if_entry_t::flags2, 0x01},
};

// Any member of the family, reduced to what every member shares.
struct Member {
    const char *name;
    uint32_t bit;
    lcache_stat_row_t row;
    PeerFn pass_peer;  // answers a pass-through
    PeerFn fetch_peer; // asked once by a refetch
    uint64_t refetch_calls, hit_calls;
    std::function<void(uint32_t iod)> ask;
};

std::vector<Member> members() {
    std::vector<Member> all;
    for (const Flag &f : kFlags)
        all.push_back({f.name, f.bit, f.row, f.peer, f.peer, 1, 0, f.query});
    // On an access port the VLAN id comes from the VLAN information; the
    // VLAN-info answer always carries the current slice.
    const Member valued[] = {
        {"encap", 0x10, LCACHE_STAT_ENCAP, PeerFn::netif_get_if_encaptype,
         PeerFn::netif_get_if_encaptype, 1, 0, lcache_netif_get_if_encaptype},
        {"mtu", 0x2000, LCACHE_STAT_MTU, PeerFn::netif_get_if_mtu, PeerFn::netif_get_if_mtu, 1, 0,
         lcache_netif_get_if_mtu},
        {"vlanid", 0x400, LCACHE_STAT_VLAN, PeerFn::netif_get_if_vlanid, PeerFn::netif_is_vlan, 3,
         0, lcache_netif_get_if_vlanid},
        {"vlan_info", 0x400, LCACHE_STAT_VLAN, PeerFn::netif_get_vlan_info,
         PeerFn::netif_get_vlan_info, 2, 1,
         [](uint32_t iod) {
             netif_vlan_info_t info{};
             uint32_t word = 0;
             lcache_netif_get_vlan_info(iod, &info, &word);
         }},
        {"mac", 0x200, LCACHE_STAT_MAC, PeerFn::netif_get_if_src_mac_addr,
         PeerFn::netif_get_if_src_mac_addr, 1, 0, lcache_netif_get_if_mac_addr},
        {"is_mac", 0x200, LCACHE_STAT_MAC, PeerFn::netif_is_if_mac_addr,
         PeerFn::netif_get_if_src_mac_addr, 1, 0,
         [](uint32_t iod) {
             const uint8_t mac[6] = {};
             lcache_netif_is_if_mac_addr(iod, mac);
         }},
    };
    all.insert(all.end(), std::begin(valued), std::end(valued));
    return all;
}

class AttributeQueryTest : public lctest::QueryTest {};

TEST_F(AttributeQueryTest, ClosedGateOrNoEntryPassesThroughAndMisses) {
    for (const Member &m : members()) {
        SCOPED_TRACE(m.name);
        for (uint32_t closed : {m.bit, uint32_t{LCACHE_ATTR_IOD}, 0u}) {
            init(sync_without(closed));
            if (closed == 0)
                lcache.attr.create_on_miss = 0;
            const StatsDelta d;
            m.ask(iod(port));
            EXPECT_EQ(calls(m.pass_peer), 1u);
            EXPECT_EQ(d.miss(m.row), 1u);
            EXPECT_EQ(d.hit(m.row), 0u);
            EXPECT_EQ(lcache.stats.if_allocs, 0u) << "a pass-through creates nothing";
        }
    }
}

TEST_F(AttributeQueryTest, DirtyAttributeIsFetchedOnceThenHit) {
    for (const Member &m : members()) {
        SCOPED_TRACE(m.name);
        init();
        lcache_if_entry_t &entry = cache(port);
        entry.dirty |= m.bit;
        sim::reset_call_counts();
        const StatsDelta d;
        m.ask(iod(port));
        EXPECT_EQ(calls(m.fetch_peer), 1u);
        EXPECT_EQ(sim::total_calls(), m.refetch_calls);
        EXPECT_EQ(d.miss(m.row), 1u);
        EXPECT_EQ(entry.dirty & m.bit, 0u);

        sim::reset_call_counts();
        const uint64_t allocs = entry_allocs();
        m.ask(iod(port));
        EXPECT_EQ(sim::total_calls(), m.hit_calls);
        EXPECT_EQ(d.hit(m.row), 1u);
        EXPECT_EQ(d.miss(m.row), 1u);
        EXPECT_EQ(d.update(m.row), 0u) << "a query's refetch is no update";
        EXPECT_EQ(entry_allocs(), allocs);
    }
}

// Only bit 0 of the answer is the flag; a pass-through hands on the whole
// answer.
TEST_F(AttributeQueryTest, FlagsKeepBitZeroInTheirOwnFieldBit) {
    for (const Flag &f : kFlags) {
        SCOPED_TRACE(f.name);
        init();
        lcache_if_entry_t &entry = cache(port);
        for (uint32_t answer : {3u, 2u}) {
            const uint8_t before = entry.*f.field;
            sim::inject_fault(f.peer, Fault{FaultKind::value, answer, 1});
            entry.dirty |= f.bit;
            EXPECT_EQ(f.query(iod(port)), answer & 1);
            EXPECT_EQ(entry.*f.field, (answer & 1) ? (before | f.mask) : (before & ~f.mask));
            EXPECT_EQ(f.query(iod(port)), answer & 1) << "the hit answers from the entry";
        }
        init(sync_without(f.bit));
        sim::inject_fault(f.peer, Fault{FaultKind::value, 2, 1});
        EXPECT_EQ(f.query(iod(port)), 2u);
    }
}

// Encapsulation 0 is "not yet available" and asked again; MTU 0 is final.
TEST_F(AttributeQueryTest, ZeroValueSettlesMtuButNotEncap) {
    struct Case {
        uint16_t (*query)(uint32_t);
        uint32_t bit;
        PeerFn peer;
        bool zero_settles;
    };
    for (const Case &c :
         {Case{lcache_netif_get_if_encaptype, 0x10, PeerFn::netif_get_if_encaptype, false},
          Case{lcache_netif_get_if_mtu, 0x2000, PeerFn::netif_get_if_mtu, true}}) {
        SCOPED_TRACE(c.bit);
        init();
        lcache_if_entry_t &entry = cache(port);
        entry.dirty |= c.bit;
        sim::inject_fault(c.peer, Fault{FaultKind::value, 0, 2});
        sim::reset_call_counts();
        EXPECT_EQ(c.query(iod(port)), 0u);
        EXPECT_EQ(c.query(iod(port)), 0u);
        EXPECT_EQ(calls(c.peer), c.zero_settles ? 1u : 2u);
        EXPECT_EQ((entry.dirty & c.bit) == 0, c.zero_settles);

        init(sync_without(c.bit));
        sim::inject_fault(c.peer, Fault{FaultKind::value, 0x10000 | 1500, 1});
        EXPECT_EQ(c.query(iod(port)), 1500u) << "a pass-through keeps the low 16 bits";
    }
}

TEST_F(AttributeQueryTest, VlanIdComesFromTheInterfaceKindAndStoresNothingElse) {
    const sim::IfIndex svi = model.add_vlan_interface(300);
    const sim::IfIndex routed = model.add_ethernet(1, 2);
    init();
    struct Case {
        sim::IfIndex ifindex;
        uint16_t vlan;
    };
    // A routed port has no VLAN to give: the cached value stays.
    for (const Case &c : {Case{svi, 300}, Case{port, 120}, Case{routed, 77}}) {
        lcache_if_entry_t &entry = cache(c.ifindex);
        entry.vlan = 77;
        entry.dirty |= LCACHE_ATTR_VLAN;
        const uint8_t flags = entry.flags;
        const uint32_t vlan_info = entry.vlan_info;
        EXPECT_EQ(lcache_netif_get_if_vlanid(iod(c.ifindex)), c.vlan);
        EXPECT_EQ(entry.dirty & LCACHE_ATTR_VLAN, 0u);
        EXPECT_EQ(entry.flags, flags);
        EXPECT_EQ(entry.vlan_info, vlan_info);
    }
    init(sync_without(LCACHE_ATTR_VLAN));
    sim::inject_fault(PeerFn::netif_get_if_vlanid, Fault{FaultKind::value, 0x30005, 1});
    EXPECT_EQ(lcache_netif_get_if_vlanid(iod(port)), 5u);
}

TEST_F(AttributeQueryTest, VlanInfoAnswersFromTheCacheWithTheCurrentSlice) {
    const sim::IfIndex routed = model.add_ethernet(1, 2);
    model.set_slice(7);
    init();
    netif_vlan_info_t info{};
    uint32_t word = 0;
    lcache_if_entry_t &entry = cache(port);
    entry.dirty |= LCACHE_ATTR_VLAN;
    EXPECT_EQ(lcache_netif_get_vlan_info(iod(port), &info, &word), 1u);
    EXPECT_EQ(entry.vlan_info, uint32_t{sim::kVlanModeAccess});

    model.set_vlan(port, 130);
    model.set_slice(9);
    word = 0;
    EXPECT_EQ(lcache_netif_get_vlan_info(iod(port), &info, &word), 1u);
    EXPECT_EQ(info.slice, 9u);
    EXPECT_EQ(info.vlan, 120u) << "the VLAN is the cached one";
    EXPECT_EQ(word, uint32_t{sim::kVlanModeAccess});

    // The peer has no VLAN information for a routed port: VLAN 0, still 1.
    lcache_if_entry_t &routed_entry = cache(routed);
    routed_entry.vlan = 55;
    routed_entry.dirty |= LCACHE_ATTR_VLAN;
    EXPECT_EQ(lcache_netif_get_vlan_info(iod(routed), &info, &word), 1u);
    EXPECT_EQ(info.vlan, 0u);
    EXPECT_EQ(info.slice, 9u);

    init(sync_without(LCACHE_ATTR_VLAN));
    EXPECT_EQ(lcache_netif_get_vlan_info(iod(routed), &info, &word), 0u);
}

TEST_F(AttributeQueryTest, MacAnswersPointIntoTheEntryOrTheSharedBuffer) {
    init();
    lcache_if_entry_t &entry = cache(port);
    const sim::Mac mac = model.at(port).mac;
    EXPECT_EQ(lcache_netif_get_if_mac_addr(iod(port)), entry.mac);
    EXPECT_EQ(std::memcmp(entry.mac, mac.data(), 6), 0);
    sim::Mac other = mac;
    other[5] ^= 1;
    EXPECT_EQ(lcache_netif_is_if_mac_addr(iod(port), mac.data()), 1u);
    EXPECT_EQ(lcache_netif_is_if_mac_addr(iod(port), other.data()), 0u);

    // A MAC the peer does not give reads as all zero and is asked again.
    sim::inject_fault(PeerFn::netif_get_if_src_mac_addr, Fault{FaultKind::status, 5, 1});
    entry.dirty |= LCACHE_ATTR_MAC;
    EXPECT_EQ(lcache_netif_is_if_mac_addr(iod(port), mac.data()), 0u);
    EXPECT_NE(entry.dirty & LCACHE_ATTR_MAC, 0u);
    EXPECT_EQ(lcache_netif_is_if_mac_addr(iod(port), mac.data()), 1u);

    init(sync_without(LCACHE_ATTR_MAC));
    EXPECT_EQ(lcache_netif_get_if_mac_addr(iod(port)), lcache_get_if_src_mac_addr(iod(port)));
}

// The management, bundle and GRE tests answer from the type the entry was
// created with and count nothing; without an entry the peer answers and
// `passthrough` counts it.
TEST_F(AttributeQueryTest, InterfaceTypeTestsAnswerFromTheEntryType) {
    struct Case {
        const char *name;
        uint32_t (*query)(uint32_t);
        PeerFn peer;
        sim::IfIndex ifindex;
    };
    const Case cases[] = {
        {"mgmt", lcache_netif_is_mgmtether, PeerFn::netif_is_mgmtether, model.add_mgmt(0)},
        {"802.3ad", lcache_netif_is_super_802_3ad, PeerFn::netif_is_super_802_3ad,
         model.add_port_channel(1)},
        {"gre", lcache_netif_is_gre_tunnel, PeerFn::netif_is_gre_tunnel,
         model.add_tunnel(sim::IfType::gre_tunnel, 1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        init();
        cache(c.ifindex);
        cache(port);
        sim::reset_call_counts();
        const lcache_stats_t before = lcache.stats;
        EXPECT_EQ(c.query(iod(c.ifindex)), 1u);
        EXPECT_EQ(c.query(iod(port)), 0u);
        EXPECT_EQ(sim::total_calls(), 0u);
        EXPECT_EQ(std::memcmp(&before, &lcache.stats, sizeof before), 0);

        for (uint32_t closed : {uint32_t{LCACHE_ATTR_IOD}, 0u}) {
            init(sync_without(closed));
            lcache.attr.create_on_miss = 0;
            sim::inject_fault(c.peer, Fault{FaultKind::value, 2, 1});
            EXPECT_EQ(c.query(iod(c.ifindex)), 2u);
            EXPECT_EQ(lcache.stats.misses[LCACHE_STAT_PASSTHROUGH], 1u);
        }
    }
}

TEST_F(AttributeQueryTest, OtherTunnelTestsAlwaysAskThePeerAndCountNothing) {
    const sim::IfIndex tunnel = model.add_tunnel(sim::IfType::mpls_tunnel, 2);
    init();
    cache(tunnel);
    sim::reset_call_counts();
    const lcache_stats_t before = lcache.stats;
    EXPECT_EQ(lcache_netif_is_stretch_tunnel(iod(tunnel)), 0u);
    EXPECT_EQ(lcache_netif_is_mpls_tunnel(iod(tunnel)), 1u);
    EXPECT_EQ(lcache_netif_is_6to4_tunnel(iod(tunnel)), 0u);
    EXPECT_EQ(sim::total_calls(), 3u);
    EXPECT_EQ(std::memcmp(&before, &lcache.stats, sizeof before), 0);
}

} // namespace
