// The refresh: key moves within the pi and lif tables, the iod check, and
// which dirty bits a refresh clears.
#include "core_test.h"

namespace {

using coretest::CoreTest;
using coretest::kKeys;
using coretest::text;
using coretest::Texts;
using sim::FaultKind;
using sim::PeerFn;

class RefreshTest : public CoreTest {};

TEST_F(RefreshTest, APiMovesToTheEntryThePeerNowNames) {
    const sim::IfIndex p1 = model.add_ethernet(1, 1);
    const sim::IfIndex p2 = model.add_ethernet(1, 2);
    const sim::IfIndex pc = model.add_port_channel(1);
    model.add_member(pc, p1);
    model.add_member(pc, p2);
    init(kKeys);
    lcache_if_entry_t *m1 = create(p1);
    lcache_if_entry_t *m2 = create(p2);
    const uint64_t allocs = coretest::entry_allocs();
    const lcache_stats_t &s = lcache.stats;

    // A port-channel's pi is its first operational member's: the first fill
    // takes it from the member's entry.
    forget_reports();
    lcache_if_entry_t *ch = create(pc);
    ASSERT_NE(ch, nullptr);
    EXPECT_TRUE(traced(text(
        "Removing stale pi entry for if-index 0x%x, iod %d, pi 0x%x  for if-index 0x%x, iod %d\n",
        p1, iod(p1), pi(p1), pc, iod(pc))));
    for (const std::string &t : traces())
        EXPECT_NE(t.rfind("If->pi mapping changed", 0), 0u) << "first fill traces no change";
    EXPECT_EQ(s.pi_remaps, 1u);
    EXPECT_EQ(ch->pi_remap_cnt, 1);
    EXPECT_EQ(held(lcache.pi_table, pi(p1)), ch);
    EXPECT_EQ(m1->pi, LCACHE_NO_PI);
    EXPECT_EQ(m1->ref_count, 3); // still in the if, iod and lif tables

    // The entry had a pi of its own: two holdings go.
    model.set_member_operational(pc, p1, false);
    ch->dirty = LCACHE_ATTR_PI;
    forget_reports();
    EXPECT_EQ(lcache_if_update_entry(ch, 0), 1);
    EXPECT_EQ(
        traces(),
        (Texts{
            text("Lcache-update for if-index 0x%x, iod %d\n", pc, iod(pc)),
            text("If->pi mapping changed for if-index 0x%x, entry->pi=%d, pi=%d, port_index=%d\n",
                 pc, iod(pc), pi(p1), pi(p2)),
            text("Removing stale pi entry for if-index 0x%x, iod %d, pi 0x%x  for if-index 0x%x, "
                 "iod %d\n",
                 p2, iod(p2), pi(p2), pc, iod(pc)),
            text("Removing stale entry for if-index 0x%x, iod %d, pi 0x%x  for new port-index "
                 "0x%x\n",
                 pc, iod(pc), pi(p1), pi(p2)),
            text("Creating pi entry for if-index 0x%x, iod %d, pi 0x%x\n", pc, iod(pc), pi(p2)),
        }));
    EXPECT_EQ(s.pi_remaps, 3u);
    EXPECT_EQ(ch->pi_remap_cnt, 3);
    EXPECT_EQ(ch->pi, pi(p2));
    EXPECT_EQ(ch->dirty, 0u);
    EXPECT_EQ(m2->pi, LCACHE_NO_PI);

    // The peer names none: the entry leaves the pi table and asks again later.
    model.set_member_operational(pc, p2, false);
    ch->dirty = LCACHE_ATTR_PI;
    EXPECT_EQ(lcache_if_update_entry(ch, 0), 1);
    EXPECT_EQ(s.pi_remaps, 4u);
    EXPECT_EQ(ch->pi, LCACHE_NO_PI);
    EXPECT_EQ(ch->dirty, LCACHE_ATTR_PI);

    // A pi the table refuses is given up, and asked again later.
    model.set_member_operational(pc, p1, true);
    forget_reports();
    ht_fault_inject(HT_FAULT_INSERT, 1);
    EXPECT_EQ(lcache_if_update_entry(ch, 0), 1);
    EXPECT_EQ(
        errors(),
        (Texts{text("Failed to add pi entry for if 0x%x, iod %d, pi 0x%x\n", pc, iod(pc), pi(p1)),
               text("Pi-insert for if-index 0x%x, iod %d, pi %d failed\n", pc, iod(pc), pi(p1))}));
    EXPECT_EQ(ch->pi, LCACHE_NO_PI);
    EXPECT_EQ(ch->dirty, LCACHE_ATTR_PI);
    EXPECT_EQ(s.pi_insert_fails, 1u);

    // Moving between tables never allocates.
    EXPECT_EQ(coretest::entry_allocs(), allocs + 1);
}

TEST_F(RefreshTest, ALifMovesAndAnUnchangedLifIsAskedAgain) {
    const sim::IfIndex a = model.add_ethernet(1, 1);
    const sim::IfIndex b = model.add_ethernet(1, 2);
    init(kKeys);
    lcache_if_entry_t *ea = create(a);
    lcache_if_entry_t *eb = create(b);
    const uint32_t lif_a = lif(a), lif_b = lif(b);
    model.set_lif(a, 9000);
    model.set_lif(b, lif_a);

    const uint64_t lif_queries = lcache.stats.updates[LCACHE_STAT_LIF];
    eb->dirty = LCACHE_ATTR_LIF;
    forget_reports();
    EXPECT_EQ(lcache_if_update_entry(eb, 0), 1);
    EXPECT_EQ(
        traces(),
        (Texts{
            text("Lcache-update for if-index 0x%x, iod %d\n", b, iod(b)),
            text("If->lif mapping changed for if-index 0x%x, entry->iod=%d, lif=0x%x\n", b, iod(b),
                 lif_a),
            text("Removing stale lif entry for if-index 0x%x, iod %d, lif 0x%x  for if-index 0x%x, "
                 "iod %d\n",
                 a, iod(a), lif_a, b, iod(b)),
            text("Removing stale lif entry for if-index 0x%x, iod %d, lif 0x%x  for new "
                 "port-index 0x%x\n",
                 b, iod(b), lif_b, lif_a),
            text("Creating lif entry for if-index 0x%x, iod %d, lif 0x%x\n", b, iod(b), lif_a),
        }));
    EXPECT_EQ(lcache.stats.lif_remaps, 2u);
    EXPECT_EQ(eb->lif_remap_cnt, 2);
    EXPECT_EQ(eb->lif, lif_a);
    EXPECT_EQ(eb->dirty, 0u);
    EXPECT_EQ(held(lcache.lif_table, lif_a), eb);
    EXPECT_EQ(ea->lif, LCACHE_NO_LIF);

    eb->dirty = LCACHE_ATTR_LIF;
    EXPECT_EQ(lcache_if_update_entry(eb, 0), 1);
    EXPECT_EQ(eb->dirty, LCACHE_ATTR_LIF);
    EXPECT_EQ(lcache.stats.lif_remaps, 2u);
    EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_LIF], lif_queries + 2);
}

TEST_F(RefreshTest, TheIodCheck) {
    const sim::IfIndex a = model.add_ethernet(1, 1);
    const sim::IfIndex b = model.add_ethernet(1, 2);
    init(kKeys);
    lcache_if_entry_t *ea = create(a);
    ASSERT_NE(create(b), nullptr);
    const uint32_t iod_a = iod(a), iod_b = iod(b);

    // The same iod: its bit stays, so every ordinary refresh checks again;
    // an unchanged pi is settled by an ordinary refresh only.
    for (uint32_t option : {1u, 0u, 0u}) {
        ea->dirty = LCACHE_ATTR_IOD | LCACHE_ATTR_PI;
        EXPECT_EQ(lcache_if_update_entry(ea, option), 1);
        EXPECT_EQ(ea->dirty, option ? LCACHE_ATTR_IOD | LCACHE_ATTR_PI : LCACHE_ATTR_IOD);
    }
    EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_IOD], 2u);

    model.set_iod(b, 600);
    model.set_iod(a, iod_b);
    sim::reset_call_counts();
    EXPECT_EQ(lcache_if_update_entry(ea, 1), 1); // the first fill does not check
    EXPECT_EQ(calls(PeerFn::netif_get_iod_frm_ifindex), 0u);

    forget_reports();
    const uint32_t dirty = LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP;
    ea->dirty = dirty;
    EXPECT_EQ(lcache_if_update_entry(ea, 0), 0);
    EXPECT_EQ(errors(), Texts{text("If->iod mapping changed for if-index 0x%x, entry->iod=%d, "
                                   "iod=%d, err: 0x%x\n",
                                   a, iod_a, iod_b, 0)});
    EXPECT_EQ(cached(b), nullptr); // it held the iod the peer now gives a
    EXPECT_EQ(lcache.stats.if_destroys, 1u);
    EXPECT_EQ(lcache.stats.iod_remaps, 1u);
    EXPECT_EQ(ea->iod_remap_cnt, 1);
    EXPECT_EQ(ea->iod, iod_a);
    EXPECT_EQ(ea->dirty, dirty);
    EXPECT_EQ(held(lcache.iod_table, iod_a), ea);
    EXPECT_EQ(calls(PeerFn::netif_is_linkup), 0u);
}

TEST_F(RefreshTest, ValuesAnsweredAsZeroStayDirty) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    model.set_extension(eth, lctest::kHistId, 9);
    init();
    lcache_if_entry_t *e = create(eth);
    struct Case {
        uint32_t bit;
        PeerFn peer;
        FaultKind kind; // a value peer answers 0, a status peer fails
    };
    const Case cases[] = {
        {LCACHE_ATTR_ENCAP, PeerFn::netif_get_if_encaptype, FaultKind::value},
        {LCACHE_ATTR_EXT, PeerFn::netif_get_extension, FaultKind::value},
        {LCACHE_ATTR_MAC, PeerFn::netif_get_if_src_mac_addr, FaultKind::status},
        {LCACHE_ATTR_CONTEXT, PeerFn::rtctx_if_get_context_id, FaultKind::value},
        {LCACHE_ATTR_BASE_TID, PeerFn::rtctx_if_get_table_id, FaultKind::value},
        {LCACHE_ATTR_MTU, PeerFn::netif_get_if_mtu, FaultKind::value},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(sim::peer_fn_name(c.peer));
        sim::reset_call_counts();
        sim::inject_fault(c.peer, {c.kind, c.kind == FaultKind::value ? 0u : 1u, 1});
        e->dirty = c.bit;
        EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
        EXPECT_EQ(e->dirty, c.bit);
        EXPECT_EQ(calls(c.peer), 1u);
        EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
        EXPECT_EQ(e->dirty, 0u);
    }
    EXPECT_EQ(e->extn, 9u);
}

TEST_F(RefreshTest, BooleansAreFinalAndKeepOnlyBitZero) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init();
    lcache_if_entry_t *e = create(eth);
    struct Case {
        uint32_t bit;
        PeerFn peer;
        uint8_t lcache_if_entry_t::*field;
        uint8_t mask;
    };
    constexpr auto flags = &lcache_if_entry_t::flags;
    constexpr auto flags2 = &lcache_if_entry_t::flags2;
    const Case cases[] = {
        {LCACHE_ATTR_SWITCHPORT, PeerFn::netif_is_switchport, flags, LCACHE_FLAG_SWPORT},
        {LCACHE_ATTR_SWITCHING, PeerFn::netif_is_switching_enabled_on_iod, flags, LCACHE_FLAG_SW},
        {LCACHE_ATTR_LINKUP, PeerFn::netif_is_linkup, flags, LCACHE_FLAG_LINKUP},
        {LCACHE_ATTR_PROTOUP, PeerFn::netif_is_protoup, flags, LCACHE_FLAG_PROTOUP},
        {LCACHE_ATTR_ETHERNET, PeerFn::netif_is_ethernet, flags, LCACHE_FLAG_ETH},
        {LCACHE_ATTR_NULL, PeerFn::netif_is_null0, flags, LCACHE_FLAG_NULL},
        {LCACHE_ATTR_LOOPBACK, PeerFn::netif_is_loopback, flags2, LCACHE_FLAG2_LO},
        {LCACHE_ATTR_P2P, PeerFn::netif_is_native_p2p, flags2, LCACHE_FLAG2_P2P},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(sim::peer_fn_name(c.peer));
        const uint8_t others = static_cast<uint8_t>(e->*c.field & ~c.mask);
        for (uint32_t answer : {2u, 3u}) { // only bit 0 is the flag
            sim::inject_fault(c.peer, {FaultKind::value, answer, 1});
            e->dirty = c.bit;
            EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
            EXPECT_EQ(e->dirty, 0u);
            EXPECT_EQ(e->*c.field, others | ((answer & 1) ? c.mask : 0));
        }
    }
}

TEST_F(RefreshTest, PortModeAndMemberAreAskedOnlyOfTheirInterfaceTypes) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    const sim::IfIndex pc = model.add_port_channel(1);
    model.set_port_mode(eth, sim::kPortModeIps);
    init();
    lcache_if_entry_t *port = create(eth);
    lcache_if_entry_t *channel = create(pc);
    sim::reset_call_counts();

    port->dirty = LCACHE_ATTR_IPS | LCACHE_ATTR_AGG_IF;
    port->flags = 0;
    EXPECT_EQ(lcache_if_update_entry(port, 0), 1);
    EXPECT_EQ(port->dirty, 0u);
    EXPECT_EQ(port->flags, LCACHE_FLAG_IPS);
    EXPECT_EQ(calls(PeerFn::netif_get_ifindex_port_mode_list), 1u);
    EXPECT_EQ(calls(PeerFn::agg_get_pc_info) + calls(PeerFn::agg_get_pc_mbr_ifidx_from_rbh), 0u);

    // A port-channel without a member: nothing to store, asked again later.
    sim::reset_call_counts();
    channel->dirty = LCACHE_ATTR_IPS | LCACHE_ATTR_AGG_IF;
    channel->flags = LCACHE_FLAG_IPS;
    EXPECT_EQ(lcache_if_update_entry(channel, 0), 1);
    EXPECT_EQ(channel->dirty, LCACHE_ATTR_IPS | LCACHE_ATTR_AGG_IF);
    EXPECT_EQ(channel->flags, LCACHE_FLAG_IPS);
    EXPECT_EQ(calls(PeerFn::netif_get_ifindex_port_mode_list), 0u);
    EXPECT_EQ(calls(PeerFn::agg_get_pc_info), 1u);
    EXPECT_EQ(calls(PeerFn::agg_get_pc_mbr_ifidx_from_rbh), 1u);

    model.add_member(pc, eth);
    EXPECT_EQ(lcache_if_update_entry(channel, 0), 1);
    EXPECT_EQ(channel->agg_if, eth);
    EXPECT_EQ(channel->dirty, LCACHE_ATTR_IPS);
}

TEST_F(RefreshTest, BitsNoStepOwnsAreLeftAloneExceptTheTopThree) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init();
    lcache_if_entry_t *e = create(eth);
    const uint32_t unnamed_bit27 = 0x08000000u;
    const uint32_t untouched =
        LCACHE_ATTR_NAME | LCACHE_ATTR_IS_VLAN | LCACHE_ATTR_SUBIF | unnamed_bit27;
    e->dirty = untouched | 0xE0000000u;
    sim::reset_call_counts();
    forget_reports();
    EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
    EXPECT_EQ(e->dirty, untouched);
    EXPECT_EQ(sim::total_calls(), calls(PeerFn::if_index_get_type));
    EXPECT_EQ(traces(), Texts{text("Lcache-update for if-index 0x%x, iod %d\n", eth, iod(eth))});
}

} // namespace
