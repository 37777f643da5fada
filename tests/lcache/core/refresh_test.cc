// SPDX-License-Identifier: MIT
// Marking attributes stale and fetching them again: the flushes, the
// refresh and the moves of an entry within the pi and lif tables.  Traces
// and errors are golden text in the simulated switch's numbering: Ethernet
// 1/N is ifindex 0x1a00100N with pi 31+N, loopback0 is 0x3000000, and iods
// count up in the order the interfaces join the switch.
#include <gmock/gmock.h>

#include "core_test.h"

namespace coretest {

using RefreshTest = CoreTest;
using sim::FaultKind;
using sim::PeerFn;

constexpr uint32_t kCrit = LCACHE_ATTR_LINKUP, kMed = LCACHE_ATTR_MTU;
constexpr uint32_t kBitOfNoAttribute = 1u << 27;
// The VLAN cache's bits, which mean nothing in an interface entry.
constexpr uint32_t kClearedByEveryRefresh = LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX;

static void set_flush_masks(uint32_t low) {
    std::tie(lcache.attr.crit_mask, lcache.attr.med_mask, lcache.attr.low_mask) =
        std::tuple(kCrit, kMed, low);
}

// Two ports whose entries hold their own iod, pi and lif.
class KeyMoveTest : public RefreshTest {
  protected:
    void SetUp() override {
        a = eth, b = model.add_ethernet(1, 2);
        init(kKeys);
        ea = create(a), eb = create(b);
        pi_a = pi(a), pi_b = pi(b), lif_a = lif(a);
        forget_reports();
    }
    // The peers now give b what a held, and a something new.
    void give_b_the_keys_of_a() {
        model.set_pi(a, 9000);
        model.set_pi(b, pi_a);
        model.set_lif(a, 9000);
        model.set_lif(b, lif_a);
    }
    sim::IfIndex a = 0, b = 0;
    lcache_if_entry_t *ea = nullptr, *eb = nullptr;
    uint32_t pi_a = 0, pi_b = 0, lif_a = 0;
};

// An unchanged iod keeps its bit, so every ordinary refresh checks again;
// an unchanged pi is settled by an ordinary refresh only.
TEST_F(KeyMoveTest, AnUnchangedIodIsCheckedAgainAndAnUnchangedPiSettles) {
    for (uint32_t option : {1u, 0u, 0u}) {
        ea->dirty = LCACHE_ATTR_IOD | LCACHE_ATTR_PI;
        EXPECT_EQ(lcache_if_update_entry(ea, option), 1);
        EXPECT_EQ(ea->dirty, option ? LCACHE_ATTR_IOD | LCACHE_ATTR_PI : LCACHE_ATTR_IOD);
    }
    EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_IOD], 2u);
}

// The holder of the new pi leaves the table, then the entry's own old pi,
// each a remap.  A lif moves alike, but an unchanged lif is asked again.
TEST_F(KeyMoveTest, APiOrLifAnotherEntryHoldsMovesHere) {
    give_b_the_keys_of_a();
    eb->dirty = LCACHE_ATTR_PI;
    EXPECT_EQ(lcache_if_update_entry(eb, 0), 1);
    // a is Ethernet1/1 (iod 1, pi 32 = 0x20), b Ethernet1/2 (iod 2, pi 33).
    EXPECT_EQ(traces(),
              (Texts{
                  "Lcache-update for if-index 0x1a001002, iod 2\n",
                  "If->pi mapping changed for if-index 0x1a001002, entry->pi=2, pi=33, "
                  "port_index=32\n",
                  "Removing stale pi entry for if-index 0x1a001001, iod 1, pi 0x20  for if-index "
                  "0x1a001002, iod 2\n",
                  "Removing stale entry for if-index 0x1a001002, iod 2, pi 0x21  for new "
                  "port-index 0x20\n",
                  "Creating pi entry for if-index 0x1a001002, iod 2, pi 0x20\n",
              }));
    EXPECT_EQ(std::tuple(eb->pi, eb->dirty, lcache.stats.pi_remaps, eb->pi_remap_cnt),
              std::tuple(pi_a, 0u, 2u, 2));
    for (uint32_t dirty_after : {0u, uint32_t{LCACHE_ATTR_LIF}}) {
        eb->dirty = LCACHE_ATTR_LIF;
        EXPECT_EQ(lcache_if_update_entry(eb, 0), 1);
        EXPECT_EQ(std::tuple(eb->lif, eb->dirty, lcache.stats.lif_remaps, eb->lif_remap_cnt),
                  std::tuple(lif_a, dirty_after, 2u, 2));
    }
    EXPECT_EQ(
        std::tuple(ea->pi, held(lcache.pi_table, pi_a), ea->lif, held(lcache.lif_table, lif_a)),
        std::tuple(LCACHE_NO_PI, eb, LCACHE_NO_LIF, eb));
}

// A new entry takes its pi from a stale holder without a change trace.
TEST_F(KeyMoveTest, TheFirstFillEvictsButTracesNoChange) {
    const sim::IfIndex c = model.add_ethernet(1, 3);
    model.set_pi(a, 9000);
    model.set_pi(c, pi_a);
    lcache_if_entry_t *ec = create(c);
    EXPECT_THAT(traces(), testing::Contains("Removing stale pi entry for if-index 0x1a001001, iod "
                                            "1, pi 0x20  for if-index 0x1a001003, iod 3\n"));
    EXPECT_THAT(traces(), testing::Not(testing::Contains(testing::StartsWith("If->pi"))));
    EXPECT_EQ(std::tuple(ea->pi, held(lcache.pi_table, pi_a)), std::tuple(LCACHE_NO_PI, ec));
}

// A pi the table refuses is given up, and asked again later.
TEST_F(KeyMoveTest, APiTheTableRefusesIsGivenUp) {
    model.set_pi(b, 9001);
    eb->dirty = LCACHE_ATTR_PI;
    ht_fault_inject_after(HT_FAULT_INSERT, 0, 1);
    EXPECT_EQ(lcache_if_update_entry(eb, 0), 1);
    EXPECT_EQ(errors(), (Texts{"Failed to add pi entry for if 0x1a001002, iod 2, pi 0x2329\n",
                               "Pi-insert for if-index 0x1a001002, iod 2, pi 9001 failed\n"}));
    EXPECT_EQ(std::tuple(eb->pi, eb->dirty, lcache.stats.pi_insert_fails),
              std::tuple(LCACHE_NO_PI, LCACHE_ATTR_PI, 1u));
}

// A table never holds two entries under one key: when the holder of the
// new key, or the entry's own old key, cannot leave, the insert is not
// tried.  The step still reports, no insert failure is counted, the bit
// stays dirty for the next refresh, and whoever could not leave keeps its
// key.
class FailedRemovalTest : public KeyMoveTest, public testing::WithParamInterface<uint32_t> {};

// b moves to a's pi; the pi removal numbered by the parameter fails.
TEST_P(FailedRemovalTest, WhoeverCannotLeaveKeepsItsKey) {
    give_b_the_keys_of_a();
    eb->dirty = LCACHE_ATTR_PI;
    ht_fault_inject_after(HT_FAULT_REMOVE, GetParam(), 1);
    EXPECT_EQ(lcache_if_update_entry(eb, 0), 1);
    EXPECT_THAT(errors(),
                testing::Contains("Pi-insert for if-index 0x1a001002, iod 2, pi 32 failed\n"));
    EXPECT_EQ(std::tuple(lcache.stats.pi_insert_fails, eb->dirty), std::tuple(0u, LCACHE_ATTR_PI));
    if (GetParam() == 0) // the holder of the new pi
        EXPECT_EQ(std::tuple(held(lcache.pi_table, pi_a), ea->pi, eb->pi),
                  std::tuple(ea, pi_a, LCACHE_NO_PI));
    else // b, from its own old pi
        EXPECT_EQ(std::tuple(held(lcache.pi_table, pi_a), held(lcache.pi_table, pi_b), eb->pi),
                  std::tuple(nullptr, eb, pi_b));
}
INSTANTIATE_TEST_SUITE_P(TheHolderOrTheMover, FailedRemovalTest, testing::Values(0u, 1u));

// An iod the peer has moved fails the refresh and evicts the entry now
// holding it; the first fill does not check.
TEST_F(KeyMoveTest, AMovedIodFailsTheRefreshAndEvictsItsHolder) {
    const uint32_t iod_a = iod(a), iod_b = iod(b);
    model.set_iod(b, 600);
    model.set_iod(a, iod_b);
    sim::reset_call_counts();
    ea->dirty = LCACHE_ATTR_IOD;
    EXPECT_EQ(lcache_if_update_entry(ea, 1), 1);
    EXPECT_EQ(calls(PeerFn::netif_get_iod_frm_ifindex), 0u);
    ea->dirty = LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP;
    EXPECT_EQ(lcache_if_update_entry(ea, 0), 0);
    EXPECT_EQ(errors(), Texts{"If->iod mapping changed for if-index 0x1a001001, entry->iod=1, "
                              "iod=2, err: 0x0\n"});
    EXPECT_EQ(std::tuple(cached(b), lcache.stats.iod_remaps, ea->iod_remap_cnt, ea->iod, ea->dirty),
              std::tuple(nullptr, 1u, 1, iod_a, LCACHE_ATTR_IOD | LCACHE_ATTR_LINKUP));
    EXPECT_EQ(calls(PeerFn::netif_is_linkup), 0u);
}

// A flag keeps bit 0 of the answer (2 reads as false) and any answer
// settles it; a value answered as 0 (a MAC the peer fails to give) is
// asked again.  Bits no
// step owns stay, except the top three.
TEST_F(RefreshTest, EachAttributeIsSettledByAUsableAnswer) {
    model.set_extension(eth, lctest::kHistId, 9);
    init();
    lcache_if_entry_t *e = create(eth);
    const uint32_t untouched =
        LCACHE_ATTR_NAME | LCACHE_ATTR_IS_VLAN | LCACHE_ATTR_SUBIF | kBitOfNoAttribute;
    e->dirty = untouched | kClearedByEveryRefresh;
    sim::reset_call_counts();
    forget_reports();
    EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
    EXPECT_EQ(std::tuple(e->dirty, sim::total_calls(), traces()), // the type asked, and traced
              std::tuple(untouched, 1u, Texts{"Lcache-update for if-index 0x1a001001, iod 1\n"}));

    constexpr auto flags = &lcache_if_entry_t::flags, flags2 = &lcache_if_entry_t::flags2;
    const struct {
        uint32_t bit;
        PeerFn peer;
        uint8_t lcache_if_entry_t::*field; // of a flag
        uint8_t mask;
    } attrs[] = {
        {LCACHE_ATTR_SWITCHPORT, PeerFn::netif_is_switchport, flags, LCACHE_FLAG_SWPORT},
        {LCACHE_ATTR_SWITCHING, PeerFn::netif_is_switching_enabled_on_iod, flags, LCACHE_FLAG_SW},
        {LCACHE_ATTR_LINKUP, PeerFn::netif_is_linkup, flags, LCACHE_FLAG_LINKUP},
        {LCACHE_ATTR_PROTOUP, PeerFn::netif_is_protoup, flags, LCACHE_FLAG_PROTOUP},
        {LCACHE_ATTR_ETHERNET, PeerFn::netif_is_ethernet, flags, LCACHE_FLAG_ETH},
        {LCACHE_ATTR_NULL, PeerFn::netif_is_null0, flags, LCACHE_FLAG_NULL},
        {LCACHE_ATTR_LOOPBACK, PeerFn::netif_is_loopback, flags2, LCACHE_FLAG2_LO},
        {LCACHE_ATTR_P2P, PeerFn::netif_is_native_p2p, flags2, LCACHE_FLAG2_P2P},
        {LCACHE_ATTR_ENCAP, PeerFn::netif_get_if_encaptype, nullptr, 0},
        {LCACHE_ATTR_EXT, PeerFn::netif_get_extension, nullptr, 0},
        {LCACHE_ATTR_MAC, PeerFn::netif_get_if_src_mac_addr, nullptr, 0},
        {LCACHE_ATTR_CONTEXT, PeerFn::rtctx_if_get_context_id, nullptr, 0},
        {LCACHE_ATTR_BASE_TID, PeerFn::rtctx_if_get_table_id, nullptr, 0},
        {LCACHE_ATTR_MTU, PeerFn::netif_get_if_mtu, nullptr, 0},
    };
    for (const auto &a : attrs) {
        SCOPED_TRACE(sim::peer_fn_name(a.peer));
        const bool mac = a.peer == PeerFn::netif_get_if_src_mac_addr;
        sim::inject_fault(a.peer,
                          {mac ? FaultKind::status : FaultKind::value, a.field ? 2u : mac, 1});
        e->dirty = a.bit;
        EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
        EXPECT_EQ(std::tuple(e->dirty, a.field && (e->*a.field & a.mask)),
                  std::tuple(a.field ? 0u : a.bit, false));
        EXPECT_EQ(lcache_if_update_entry(e, 0), 1);
        EXPECT_EQ(e->dirty, 0u);
    }
}

// Only a port has a port mode and only a port-channel a member; one
// without a member has nothing to store and is asked again later.
TEST_F(RefreshTest, PortModeAndMemberAreAskedOnlyOfTheirInterfaceTypes) {
    const sim::IfIndex pc = model.add_port_channel(1);
    model.set_port_mode(eth, sim::kPortModeIps);
    init();
    lcache_if_entry_t *port = create(eth), *channel = create(pc);
    port->dirty = channel->dirty = LCACHE_ATTR_IPS | LCACHE_ATTR_AGG_IF;
    std::tie(port->flags, channel->flags) = std::tuple(0, LCACHE_FLAG_IPS);
    sim::reset_call_counts();
    EXPECT_EQ(lcache_if_update_entry(port, 0) + lcache_if_update_entry(channel, 0), 2);
    EXPECT_EQ(
        std::tuple(port->dirty, port->flags, channel->dirty, channel->flags),
        std::tuple(0u, LCACHE_FLAG_IPS, LCACHE_ATTR_IPS | LCACHE_ATTR_AGG_IF, LCACHE_FLAG_IPS));
    EXPECT_EQ(calls(PeerFn::netif_get_ifindex_port_mode_list) + calls(PeerFn::agg_get_pc_info) +
                  calls(PeerFn::agg_get_pc_mbr_ifidx_from_rbh),
              3u);
    model.add_member(pc, eth);
    EXPECT_EQ(lcache_if_update_entry(channel, 0), 1);
    EXPECT_EQ(std::tuple(channel->agg_if, channel->dirty), std::tuple(eth, LCACHE_ATTR_IPS));
}

// 1 med, 2 crit, 3 sync, anything else low; a flush only ever adds bits.
// Key bits of tables never created then reach no table and no peer.
TEST_F(RefreshTest, EachOptionOrsItsMask) {
    init(kCrit);
    set_flush_masks(kKeys);
    lcache_if_entry_t *e = create(eth);
    for (auto [option, mask, trace] :
         {std::tuple{0u, kKeys, "Flushing cache for if-index=0x1a001001, iod=0, opt=0x0\n"},
          {1u, kMed, "Flushing cache for if-index=0x1a001001, iod=0, opt=0x1\n"},
          {2u, kCrit, "Flushing cache for if-index=0x1a001001, iod=0, opt=0x2\n"},
          {3u, kCrit | LCACHE_ATTR_IF_TYPE,
           "Flushing cache for if-index=0x1a001001, iod=0, opt=0x3\n"},
          {4u, kKeys, "Flushing cache for if-index=0x1a001001, iod=0, opt=0x4\n"},
          {~0u, kKeys, "Flushing cache for if-index=0x1a001001, iod=0, opt=0xffffffff\n"}}) {
        SCOPED_TRACE(option);
        e->dirty = LCACHE_ATTR_NAME;
        forget_reports();
        lcache_flush_if_entry(e, option);
        lcache_flush_if_entry(e, option);
        EXPECT_EQ(e->dirty, LCACHE_ATTR_NAME | mask);
        EXPECT_EQ(traces(), Texts(2, trace));
    }
    sim::reset_call_counts();
    EXPECT_EQ(lcache_if_update_if(eth), 1u);
    EXPECT_EQ(sim::total_calls(), 1u); // the type
    EXPECT_EQ(std::tuple(e->dirty & kKeys, e->ref_count, e->iod, e->pi, e->lif),
              std::tuple(kKeys, 1, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF));
}

// Both act on cached entries only, and not at all while disabled.
TEST_F(RefreshTest, FlushAllAndUpdateIf) {
    const sim::IfIndex ports[] = {eth, model.add_loopback(0)};
    init(kKeys | kCrit);
    set_flush_masks(LCACHE_ATTR_MAC);
    EXPECT_EQ(lcache_if_update_if(ports[0]), 0u);
    EXPECT_EQ(lcache_if_flush_all(2), 1u);
    EXPECT_EQ(std::tuple(traces().size(), sim::total_calls()), std::tuple(0u, 0u));
    for (sim::IfIndex p : ports)
        create(p)->dirty = 0;
    forget_reports();
    EXPECT_EQ(lcache_if_flush_all(2), 1u);
    EXPECT_THAT(traces(), testing::UnorderedElementsAre(
                              "Flushing cache for if-index=0x1a001001, iod=1, opt=0x2\n",
                              "Flushing cache for if-index=0x3000000, iod=2, opt=0x2\n"));

    sim::reset_call_counts();
    EXPECT_EQ(lcache_if_update_if(ports[0]), 1u);
    EXPECT_EQ(std::tuple(cached(ports[0])->dirty, calls(sim::PeerFn::netif_is_linkup)),
              std::tuple(0u, 1u));
    // Counted also when the refresh then fails.
    sim::inject_fault(sim::PeerFn::if_index_get_type, {sim::FaultKind::status, 0x77, 1});
    EXPECT_EQ(lcache_if_update_if(ports[0]), 0u);
    lcache_disable_cache();
    EXPECT_EQ(lcache_if_flush_all(1) + lcache_if_update_if(ports[0]), 0u);
    lcache_restore_cache();
    EXPECT_EQ(std::tuple(lcache.stats.upd_if, cached(ports[1])->dirty), std::tuple(2u, kCrit));
}

} // namespace coretest
