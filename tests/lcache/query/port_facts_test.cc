// Port-channel members, the port mode and the layer-2 summary of a port.
#include <cstdio>
#include <string>

#include "query_fixture.h"

namespace {

using lctest::StatsDelta;
using lctest::sync_without;
using sim::Fault;
using sim::FaultKind;
using sim::PeerFn;

constexpr uint32_t kUntouched = 0xDEADBEEF;

class BundleTest : public lctest::QueryTest {
  protected:
    BundleTest() {
        model.add_member(channel, first);
        model.add_member(channel, second);
    }
    const sim::IfIndex channel = model.add_port_channel(1);
    const sim::IfIndex first = model.add_ethernet(1, 10);
    const sim::IfIndex second = model.add_ethernet(1, 11);
};

// Only the member for hash 0 (the first operational one) is cached, and a
// member of 0 is never taken as an answer.
TEST_F(BundleTest, MemberByHashCachesOnlyHashZero) {
    init();
    lcache_if_entry_t &entry = cache(channel);
    sim::reset_call_counts();
    const StatsDelta d;
    uint32_t member = 0;
    EXPECT_EQ(lcache_agg_get_pc_mbr_ifidx_from_rbh(channel, 0, &member), 0u);
    EXPECT_EQ(member, first);
    EXPECT_EQ(peer_calls(), 0u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(lcache_agg_get_pc_mbr_ifidx_from_rbh(channel, 1, &member), 0u);
        EXPECT_EQ(member, second);
    }
    entry.agg_if = 0;
    EXPECT_EQ(lcache_agg_get_pc_mbr_ifidx_from_rbh(channel, 0, &member), 0u);
    EXPECT_EQ(member, first);
    EXPECT_EQ(calls(PeerFn::agg_get_pc_mbr_ifidx_from_rbh), 3u);
    EXPECT_EQ(d.miss(LCACHE_STAT_AGG_IF), 3u);
    EXPECT_EQ(d.hit(LCACHE_STAT_AGG_IF), 1u);

    // A failed refetch is returned at once and leaves the bit set.
    entry.dirty |= LCACHE_ATTR_AGG_IF;
    sim::inject_fault(PeerFn::agg_get_pc_mbr_ifidx_from_rbh, Fault{FaultKind::status, 0x55, 1});
    EXPECT_EQ(lcache_agg_get_pc_mbr_ifidx_from_rbh(channel, 0, &member), 0x55u);
    EXPECT_NE(entry.dirty & LCACHE_ATTR_AGG_IF, 0u);
}

TEST_F(BundleTest, FirstOperationalMemberOfZeroIsAFailure) {
    init();
    lcache_if_entry_t &entry = cache(channel);
    entry.agg_if = 0;
    sim::reset_call_counts();
    uint32_t fop = kUntouched;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(lcache_agg_get_fop(channel, &fop), 0u);
        EXPECT_EQ(fop, first);
    }
    EXPECT_EQ(calls(PeerFn::agg_get_pc_info), 1u) << "a cached 0 is asked again, once";

    model.set_member_operational(channel, first, false);
    model.set_member_operational(channel, second, false);
    entry.dirty |= LCACHE_ATTR_AGG_IF;
    sim::inject_fault(PeerFn::agg_get_pc_info, Fault{FaultKind::status, 0x66, 1});
    EXPECT_EQ(lcache_agg_get_fop(channel, &fop), 0x66u);
    fop = kUntouched;
    EXPECT_EQ(lcache_agg_get_fop(channel, &fop), 0x40E30001u);
    EXPECT_EQ(entry.agg_if, first) << "the entry is left as it was";
    init(sync_without(LCACHE_ATTR_AGG_IF));
    EXPECT_EQ(lcache_agg_get_fop(channel, &fop), 0x40E30001u);
    EXPECT_EQ(fop, kUntouched);
}

// Only an Ethernet port has a port mode; the cache keeps whether it is the
// ips mode, so a cached answer is 512 or 0.
TEST_F(BundleTest, PortModeIsServedFromTheIpsFlag) {
    const sim::IfIndex ips_port = model.add_ethernet(1, 20);
    model.set_port_mode(ips_port, sim::kPortModeIps);
    model.set_port_mode(channel, sim::kPortModeIps);
    struct Case {
        sim::IfIndex ifindex;
        uint32_t mode;
        uint64_t peer_calls;
    };
    init();
    for (const Case &c : {Case{ips_port, 512, 1}, Case{port, 0, 1}, Case{channel, 0, 0}}) {
        SCOPED_TRACE(c.ifindex);
        lcache_if_entry_t &entry = cache(c.ifindex);
        entry.dirty |= LCACHE_ATTR_IPS;
        sim::reset_call_counts();
        const StatsDelta d;
        uint32_t mode = kUntouched;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(c.ifindex, &mode), 0u);
            EXPECT_EQ(mode, c.mode);
        }
        EXPECT_EQ(calls(PeerFn::netif_get_ifindex_port_mode_list), c.peer_calls);
        EXPECT_EQ(d.miss(LCACHE_STAT_IPS), 1u);
        EXPECT_EQ(d.hit(LCACHE_STAT_IPS), 1u);
    }

    init(sync_without(LCACHE_ATTR_IPS));
    uint32_t mode = kUntouched;
    EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(port, &mode), 0u);
    EXPECT_EQ(mode, sim::kPortModeNormal) << "a pass-through gives the peer's own mode";
    EXPECT_EQ(lcache.stats.misses[LCACHE_STAT_IPS], 1u);
}

TEST_F(BundleTest, PortModeOfAnIfindexThatNoLongerClassifiesFails) {
    init();
    lcache_if_entry_t &entry = cache(port);
    lcache.attr.create_on_miss = 0;
    entry.dirty |= LCACHE_ATTR_IPS;
    sim::inject_fault(PeerFn::if_index_get_type, Fault{FaultKind::status, 7, 1});
    uint32_t mode = kUntouched;
    EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(port, &mode), 0x40290000u);
    EXPECT_EQ(mode, kUntouched);
    EXPECT_NE(entry.dirty & LCACHE_ATTR_IPS, 0u);
    char text[64];
    std::snprintf(text, sizeof text, " Invalid interface index 0x%x\n", port);
    EXPECT_STREQ(lcache_print_str, text);
}

// Turns private data and its size into an extension value.
uint32_t convert(uint32_t data, uint32_t size) { return data * 16 + size; }

class L2InfoTest : public lctest::QueryTest {
  protected:
    L2InfoTest() { model.set_private_data(port, lctest::kHistId, {5, 3}); }

    void init_with_private_data() {
        lcache_attr a = attr_with(lctest::kSyncAll);
        a.ext_fn[0] = convert;
        init(a);
    }

    struct Out {
        uint32_t ifindex = kUntouched, iod = kUntouched, linkup = kUntouched;
        uint16_t encap = 0xFFFF;
        uint32_t switchport = kUntouched, switching = kUntouched, protoup = kUntouched,
                 ext = kUntouched;
    };
    static uint32_t l2_info(uint32_t pi, Out &o) {
        return lcache_get_if_l2_info_by_pi(pi, &o.ifindex, &o.iod, &o.linkup, &o.encap,
                                           &o.switchport, &o.switching, &o.protoup, &o.ext);
    }
    void expect_port(const Out &o) const {
        EXPECT_EQ(o.ifindex, port);
        EXPECT_EQ(o.iod, iod(port));
        EXPECT_EQ(o.linkup, 0u);
        EXPECT_EQ(o.encap, sim::kEncapArpa);
        EXPECT_EQ(o.switchport, 1u);
        EXPECT_EQ(o.switching, 1u);
        EXPECT_EQ(o.protoup, 1u);
        EXPECT_EQ(o.ext, convert(5, 3));
    }
};

TEST_F(L2InfoTest, RefetchesDirtyBitsButLeavesSwitchportAndSwitchingSet) {
    constexpr uint32_t kSettled = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_ENCAP;
    constexpr uint32_t kLeftSet = LCACHE_ATTR_SWITCHPORT | LCACHE_ATTR_SWITCHING;
    init_with_private_data();
    lcache_if_entry_t &entry = cache(port);
    model.set_link(port, false);
    entry.dirty |= kSettled | kLeftSet | LCACHE_ATTR_EXT;
    const StatsDelta d;
    Out out;
    EXPECT_EQ(l2_info(pi(port), out), 0u);
    expect_port(out);
    EXPECT_EQ(entry.dirty & (kSettled | kLeftSet | LCACHE_ATTR_EXT), kLeftSet);
    for (lcache_stat_row_t row : {LCACHE_STAT_LINKUP, LCACHE_STAT_PROTOUP, LCACHE_STAT_ENCAP,
                                  LCACHE_STAT_SWITCHPORT, LCACHE_STAT_SWITCHING}) {
        EXPECT_EQ(d.update(row), 1u) << row;
        EXPECT_EQ(d.hit(row) + d.miss(row), 0u) << row;
    }
    EXPECT_EQ(d.hit(LCACHE_STAT_PI), 1u);
    EXPECT_EQ(d.miss(LCACHE_STAT_EXT), 1u);

    sim::reset_call_counts();
    Out again;
    EXPECT_EQ(l2_info(pi(port), again), 0u);
    expect_port(again);
    EXPECT_EQ(calls(PeerFn::netif_is_switchport), 1u);
    EXPECT_EQ(calls(PeerFn::netif_is_switching_enabled_on_iod), 1u);
    EXPECT_EQ(calls(PeerFn::netif_is_linkup), 0u);
    EXPECT_EQ(d.hit(LCACHE_STAT_EXT), 1u);
}

// Disabled, or with nothing cached, the outputs come through the queries.
TEST_F(L2InfoTest, WithoutAnEntryFillsThroughTheQueries) {
    model.set_link(port, false);
    for (bool disabled : {true, false}) {
        SCOPED_TRACE(disabled);
        init_with_private_data();
        lcache.attr.create_on_miss = 0;
        if (disabled)
            lcache_disable_cache();
        Out out;
        EXPECT_EQ(l2_info(pi(port), out), 0u);
        expect_port(out);
        EXPECT_EQ(lcache.stats.if_allocs, 0u);
        EXPECT_EQ(lcache.stats.misses[LCACHE_STAT_PI], 1u);
    }
}

TEST_F(L2InfoTest, FailuresReturnThePiStatus) {
    constexpr uint32_t kUnusedPi = 5; // an ASIC port no interface holds
    init_with_private_data();
    Out out;
    EXPECT_EQ(l2_info(kUnusedPi, out), 0x40E00003u);
    lcache_if_entry_t &entry = cache(port);
    const uint32_t old_pi = pi(port);
    model.set_iod(port, iod(port) + 1000);
    entry.dirty |= LCACHE_ATTR_PI | LCACHE_ATTR_IOD;
    EXPECT_EQ(l2_info(old_pi, out), 0x40E00003u);
    EXPECT_EQ(out.ifindex, kUntouched);
    lcache_disable_cache();
    EXPECT_EQ(l2_info(kUnusedPi, out), 0x40E00003u);
}

} // namespace
