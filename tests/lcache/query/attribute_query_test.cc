// SPDX-License-Identifier: MIT
// The attribute queries: the gate, the entry, the dirty bit and the counters
// they share, then each member's own rule.
#include <cstring>
#include <functional>
#include <string>

#include "query_fixture.h"

namespace lctest {

using AttributeQueryTest = QueryTest;
using P = PeerFn;

// Every member of the family, the flags first.
struct Member {
    std::function<uint32_t(uint32_t iod)> ask;
    uint32_t bit;
    lcache_stat_row_t row;
    PeerFn pass;                                 // answers a pass-through
    uint64_t fetch_calls;                        // peer calls of a refetch
    uint8_t lcache_if_entry_t::*field = nullptr; // of a flag
    uint8_t mask = 0;
};
constexpr auto kF1 = &lcache_if_entry_t::flags, kF2 = &lcache_if_entry_t::flags2;
static const uint8_t kNoMac[6] = {};
// Where the VLAN information queries write.
static netif_vlan_info_t info;
static uint32_t word;
// A flag: lcache_netif_<fn> and the peer's netif_<fn>, LCACHE_ATTR_<NAME>
// and LCACHE_STAT_<NAME>, one peer call per refetch.
#define FLAG(fn, NAME, field, mask)                                                                \
    Member {                                                                                       \
        lcache_netif_##fn, LCACHE_ATTR_##NAME, LCACHE_STAT_##NAME, P::netif_##fn, 1, field, mask   \
    }
const Member kMembers[] = {
    FLAG(is_switchport, SWITCHPORT, kF1, LCACHE_FLAG_SWPORT),
    FLAG(is_switching_enabled_on_iod, SWITCHING, kF1, LCACHE_FLAG_SW),
    FLAG(is_linkup, LINKUP, kF1, LCACHE_FLAG_LINKUP),
    FLAG(is_protoup, PROTOUP, kF1, LCACHE_FLAG_PROTOUP),
    FLAG(is_ethernet, ETHERNET, kF1, LCACHE_FLAG_ETH),
    FLAG(is_vlan, IS_VLAN, kF1, LCACHE_FLAG_ISVLAN),
    FLAG(is_null0, NULL, kF1, LCACHE_FLAG_NULL),
    FLAG(is_native_p2p, P2P, kF2, LCACHE_FLAG2_P2P),
    FLAG(is_loopback, LOOPBACK, kF2, LCACHE_FLAG2_LO),
    {lcache_netif_get_if_encaptype, LCACHE_ATTR_ENCAP, LCACHE_STAT_ENCAP, P::netif_get_if_encaptype,
     1},
    {lcache_netif_get_if_mtu, LCACHE_ATTR_MTU, LCACHE_STAT_MTU, P::netif_get_if_mtu, 1},
    // On an access port the VLAN id comes from the VLAN information.
    {lcache_netif_get_if_vlanid, LCACHE_ATTR_VLAN, LCACHE_STAT_VLAN, P::netif_get_if_vlanid, 3},
    {[](uint32_t iod) { return lcache_netif_get_vlan_info(iod, &info, &word); }, LCACHE_ATTR_VLAN,
     LCACHE_STAT_VLAN, P::netif_get_vlan_info, 2},
    {[](uint32_t iod) { return uint32_t(lcache_netif_get_if_mac_addr(iod) != nullptr); },
     LCACHE_ATTR_MAC, LCACHE_STAT_MAC, P::netif_get_if_src_mac_addr, 1},
    {[](uint32_t iod) { return lcache_netif_is_if_mac_addr(iod, kNoMac); }, LCACHE_ATTR_MAC,
     LCACHE_STAT_MAC, P::netif_is_if_mac_addr, 1},
};
#undef FLAG

// A closed gate or a missing entry passes the question on and counts a
// miss; a dirty attribute is fetched once, then hit.  Only the VLAN
// information asks something on a hit: the current slice.  Only bit 0 of
// a flag's answer is the flag, kept in the flag's own bit; a pass-through
// hands on the whole answer.
TEST_F(AttributeQueryTest, GateEntryAndDirtyBitDecideWhoAnswers) {
    for (const Member &m : kMembers) {
        SCOPED_TRACE(sim::peer_fn_name(m.pass));
        for (uint32_t closed : {m.bit, uint32_t{LCACHE_ATTR_IOD}, 0u}) {
            init(sync_without(closed));
            lcache.attr.create_on_miss = closed != 0;
            if (m.field)
                sim::inject_fault(m.pass, Fault{FaultKind::value, 2, 1});
            const uint32_t answer = m.ask(iod(port));
            EXPECT_EQ(std::tuple(calls(m.pass), misses(m.row), lcache.stats.if_allocs),
                      std::tuple(1u, 1u, 0u));
            EXPECT_TRUE(!m.field || answer == 2) << "a pass-through hands on the whole answer";
        }
        init();
        cache(port).dirty |= m.bit;
        sim::reset_call_counts();
        m.ask(iod(port));
        EXPECT_EQ(std::tuple(sim::total_calls(), cache(port).dirty & m.bit),
                  std::tuple(m.fetch_calls, 0u));
        sim::reset_call_counts();
        m.ask(iod(port));
        EXPECT_EQ(std::tuple(sim::total_calls(), hits(m.row), misses(m.row)),
                  std::tuple(m.pass == P::netif_get_vlan_info ? 1u : 0u, 1u, 1u));
    }
}

// Encapsulation 0 is "not yet available" and asked again; MTU 0 is final.
// A MAC the peer does not give reads as all zero and is asked again.
TEST_F(AttributeQueryTest, WhichZeroAnswersAreAskedAgain) {
    init();
    for (auto [query, bit, peer, settles] :
         {std::tuple{&lcache_netif_get_if_encaptype, LCACHE_ATTR_ENCAP, P::netif_get_if_encaptype,
                     false},
          {&lcache_netif_get_if_mtu, LCACHE_ATTR_MTU, P::netif_get_if_mtu, true}}) {
        cache(port).dirty |= bit;
        sim::inject_fault(peer, Fault{FaultKind::value, 0, 1});
        EXPECT_EQ(query(iod(port)), 0u);
        EXPECT_EQ((cache(port).dirty & bit) == 0, settles);
    }
    const sim::Mac mac = model.at(port).mac;
    sim::inject_fault(P::netif_get_if_src_mac_addr, Fault{FaultKind::status, 5, 1});
    cache(port).dirty |= LCACHE_ATTR_MAC;
    EXPECT_EQ(lcache_netif_is_if_mac_addr(iod(port), mac.data()), 0u);
    EXPECT_EQ(lcache_netif_is_if_mac_addr(iod(port), mac.data()), 1u);
    EXPECT_EQ(lcache_netif_get_if_mac_addr(iod(port)), cache(port).mac);
}

// The VLAN id comes from the interface kind (a routed port has none: the
// cached one stays); the VLAN information answers the cached VLAN and word
// with the current slice.
TEST_F(AttributeQueryTest, VlanIdAndVlanInformation) {
    const sim::IfIndex svi = model.add_vlan_interface(300), routed = model.add_ethernet(1, 2);
    init();
    for (auto [ifindex, vlan] : {std::pair{svi, 300}, {port, 120}, {routed, 77}}) {
        cache(ifindex).vlan = 77;
        cache(ifindex).dirty |= LCACHE_ATTR_VLAN;
        EXPECT_EQ(lcache_netif_get_if_vlanid(iod(ifindex)), vlan);
    }
    cache(port).dirty |= LCACHE_ATTR_VLAN;
    EXPECT_EQ(lcache_netif_get_vlan_info(iod(port), &info, &word), 1u);
    model.set_vlan(port, 130);
    model.set_slice(9);
    word = 0;
    EXPECT_EQ(lcache_netif_get_vlan_info(iod(port), &info, &word), 1u);
    EXPECT_EQ(std::tuple(uint32_t{info.slice}, uint32_t{info.vlan}, word),
              std::tuple(9u, 120u, sim::kVlanModeAccess));
}

// The management, bundle and GRE tests answer from the type the entry was
// created with and count nothing; without an entry the peer answers and
// `passthrough` counts it.
TEST_F(AttributeQueryTest, InterfaceTypeTests) {
    for (auto [query, peer, ifindex] :
         {std::tuple{&lcache_netif_is_mgmtether, P::netif_is_mgmtether, model.add_mgmt(0)},
          {&lcache_netif_is_super_802_3ad, P::netif_is_super_802_3ad, model.add_port_channel(1)},
          {&lcache_netif_is_gre_tunnel, P::netif_is_gre_tunnel,
           model.add_tunnel(sim::IfType::gre_tunnel, 1)}}) {
        init();
        cache(ifindex);
        cache(port);
        sim::reset_call_counts();
        const lcache_stats_t before = lcache.stats;
        EXPECT_EQ(std::tuple(query(iod(ifindex)), query(iod(port))), std::tuple(1u, 0u));
        EXPECT_EQ(
            std::tuple(sim::total_calls(), std::memcmp(&before, &lcache.stats, sizeof before)),
            std::tuple(0u, 0));
        init_passing(LCACHE_ATTR_IOD);
        sim::inject_fault(peer, Fault{FaultKind::value, 2, 1});
        EXPECT_EQ(query(iod(ifindex)), 2u);
        EXPECT_EQ(misses(LCACHE_STAT_PASSTHROUGH), 1u);
    }
}

// Names are never stored: every cached query asks by ifindex into a ring
// of ten static buffers, which lives as long as the process, so no other
// test of this program may ask for a name.  With the name service failing
// each buffer shows what it started with, the digit of its position; the
// ring index starts at 0 and is advanced before use.
TEST_F(AttributeQueryTest, TheNameRing) {
    init();
    cache(port);
    sim::inject_fault(PeerFn::netif_get_ifindex_name, Fault{FaultKind::status, 3, {}});
    const char *first = lcache_netif_get_if_name(iod(port));
    std::string seen = first;
    for (int i = 1; i < 10; ++i)
        seen += lcache_netif_get_if_name(iod(port));
    EXPECT_EQ(seen, "1234567890");
    EXPECT_EQ(lcache_netif_get_if_name(iod(port)), first) << "the eleventh reuses the first";

    sim::clear_faults();
    sim::reset_call_counts();
    EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
    EXPECT_EQ(std::tuple(hits(LCACHE_STAT_NAME), calls(PeerFn::netif_get_ifindex_name),
                         calls(PeerFn::netif_get_if_name)),
              std::tuple(12u, 1u, 0u));
    init_passing(LCACHE_ATTR_NAME);
    EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
    EXPECT_EQ(std::tuple(misses(LCACHE_STAT_NAME), calls(PeerFn::netif_get_if_name)),
              std::tuple(1u, 1u));
}

} // namespace lctest
