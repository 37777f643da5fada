// SPDX-License-Identifier: MIT
// Port-channel members, the port mode and the layer-2 summary of a port.
#include <vector>

#include "query_fixture.h"

namespace lctest {

// Only the member for hash 0 (the first operational one) is cached; a
// member of 0 is no answer, for the member query and the first operational
// member alike, and a failed refetch is returned at once.
TEST_F(QueryTest, OnlyTheFirstOperationalMemberIsCached) {
    const sim::IfIndex channel = model.add_port_channel(1), first = model.add_ethernet(1, 10),
                       second = model.add_ethernet(1, 11);
    model.add_member(channel, first);
    model.add_member(channel, second);
    init();
    lcache_if_entry_t &entry = cache(channel);
    sim::reset_call_counts();
    uint32_t member = 0, fop = kUntouched;
    for (auto [hash, agg_if, expected] :
         {std::tuple{0, first, first}, {1, first, second}, {0, 0u, first}}) {
        entry.agg_if = agg_if;
        EXPECT_EQ(lcache_agg_get_pc_mbr_ifidx_from_rbh(channel, hash, &member), 0u);
        EXPECT_EQ(member, expected);
    }
    EXPECT_EQ(std::tuple(calls(PeerFn::agg_get_pc_mbr_ifidx_from_rbh), misses(LCACHE_STAT_AGG_IF),
                         hits(LCACHE_STAT_AGG_IF)),
              std::tuple(2u, 2u, 1u));
    entry.dirty |= LCACHE_ATTR_AGG_IF;
    sim::inject_fault(PeerFn::agg_get_pc_mbr_ifidx_from_rbh, Fault{FaultKind::status, 0x55, 1});
    EXPECT_EQ(lcache_agg_get_pc_mbr_ifidx_from_rbh(channel, 0, &member), 0x55u);
    EXPECT_NE(entry.dirty & LCACHE_ATTR_AGG_IF, 0u);

    entry.agg_if = 0; // a cached 0 is asked again, once
    EXPECT_EQ(lcache_agg_get_fop(channel, &fop) + lcache_agg_get_fop(channel, &fop), 0u);
    EXPECT_EQ(std::tuple(fop, calls(PeerFn::agg_get_pc_info)), std::tuple(first, 1u));
    model.set_member_operational(channel, first, false);
    model.set_member_operational(channel, second, false);
    entry.dirty |= LCACHE_ATTR_AGG_IF;
    fop = kUntouched;
    EXPECT_EQ(lcache_agg_get_fop(channel, &fop), 0x40E30001u);
    EXPECT_EQ(std::tuple(fop, entry.agg_if), std::tuple(kUntouched, first));
}

// Only an Ethernet port has a port mode; the cache keeps whether it is the
// ips mode, so a cached answer is 512 or 0.  An ifindex that no longer
// classifies fails; a pass-through gives the peer's own mode.
TEST_F(QueryTest, PortModeIsServedFromTheIpsFlag) {
    const sim::IfIndex ips_port = model.add_ethernet(1, 20), channel = model.add_port_channel(1);
    model.set_port_mode(ips_port, sim::kPortModeIps);
    model.set_port_mode(channel, sim::kPortModeIps);
    init();
    uint32_t mode = kUntouched;
    for (auto [ifindex, ips, asked] :
         {std::tuple{ips_port, 512u, 1u}, {port, 0u, 1u}, {channel, 0u, 0u}}) {
        cache(ifindex).dirty |= LCACHE_ATTR_IPS;
        sim::reset_call_counts();
        EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(ifindex, &mode), 0u);
        EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(ifindex, &mode), 0u);
        EXPECT_EQ(std::tuple(mode, calls(PeerFn::netif_get_ifindex_port_mode_list)),
                  std::tuple(ips, asked));
    }
    EXPECT_EQ(std::tuple(misses(LCACHE_STAT_IPS), hits(LCACHE_STAT_IPS)), std::tuple(3u, 3u));
    cache(port).dirty |= LCACHE_ATTR_IPS;
    lcache.attr.create_on_miss = 0;
    sim::inject_fault(PeerFn::if_index_get_type, Fault{FaultKind::status, 7, 1});
    mode = kUntouched;
    EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(port, &mode), 0x40290000u);
    EXPECT_EQ(std::tuple(mode, lcache_print_str),
              std::tuple(kUntouched, text(" Invalid interface index 0x%x\n", port)));
    init(sync_without(LCACHE_ATTR_IPS));
    EXPECT_EQ(lcache_phyport_gldb_get_ifindex_port_mode(port, &mode), 0u);
    EXPECT_EQ(mode, sim::kPortModeNormal);
}

// The summary of a port by its pi: disabled, or with nothing cached,
// through the queries; from the entry it refetches dirty bits, counted as
// updates, but leaves the switchport and switching bits set.  A failure
// returns the pi status.
TEST_F(QueryTest, TheLayerTwoSummary) {
    constexpr uint32_t kSettled = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_ENCAP;
    constexpr uint32_t kLeftSet = LCACHE_ATTR_SWITCHPORT | LCACHE_ATTR_SWITCHING;
    model.set_private_data(port, kHistId, {5, 3});
    model.set_link(port, false);
    lcache_attr a = attr_with(kSyncAll);
    a.ext_fn[0] = convert;
    const auto summary = [&](uint32_t pi) {
        // status, ifindex, iod, linkup << 16 | encap, switchport, switching, protoup, ext
        std::vector<uint32_t> out(8, kUntouched);
        uint16_t encap = 0;
        out[0] = lcache_get_if_l2_info_by_pi(pi, &out[1], &out[2], &out[3], &encap, &out[4],
                                             &out[5], &out[6], &out[7]);
        out[3] = out[3] << 16 | encap;
        return out;
    };
    const std::vector<uint32_t> expected{0, port, iod(port), sim::kEncapArpa,
                                         1, 1,    1,         convert(5, 3)};
    for (bool disabled : {true, false}) {
        init(a);
        if (disabled)
            lcache_disable_cache();
        lcache.attr.create_on_miss = 0;
        EXPECT_EQ(summary(pi(port)), expected);
        EXPECT_EQ(summary(5)[0], 0x40E00003u) << "an ASIC port no interface holds";
    }
    lcache.attr.create_on_miss = 1;
    lcache_if_entry_t &entry = cache(port);
    entry.dirty |= kSettled | kLeftSet | LCACHE_ATTR_EXT;
    sim::reset_call_counts();
    zero_stats();
    EXPECT_EQ(summary(pi(port)), expected);
    EXPECT_EQ(summary(pi(port)), expected);
    EXPECT_EQ(entry.dirty & (kSettled | kLeftSet | LCACHE_ATTR_EXT), kLeftSet);
    for (lcache_stat_row_t row : {LCACHE_STAT_LINKUP, LCACHE_STAT_PROTOUP, LCACHE_STAT_ENCAP})
        EXPECT_EQ(std::tuple(updates(row), hits(row) + misses(row)), std::tuple(1u, 0u)) << row;
    EXPECT_EQ(std::tuple(updates(LCACHE_STAT_SWITCHPORT), calls(PeerFn::netif_is_linkup),
                         hits(LCACHE_STAT_PI), misses(LCACHE_STAT_EXT), hits(LCACHE_STAT_EXT)),
              std::tuple(2u, 1u, 2u, 1u, 1u));
    model.set_iod(port, iod(port) + 1000);
    entry.dirty |= LCACHE_ATTR_PI | LCACHE_ATTR_IOD;
    EXPECT_EQ(summary(entry.pi)[0], 0x40E00003u);
    EXPECT_EQ(lcache.stats.upd_pi, 1u);
}

} // namespace lctest
