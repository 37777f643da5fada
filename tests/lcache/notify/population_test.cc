// SPDX-License-Identifier: MIT
// Which notifications create and remove entries, what they trace, and what
// a record about nothing the cache knows or for a disabled cache gets.
#include "mtrack.h"
#include "notify_fixture.h"
#include "sim/status.h"

namespace lctest {
namespace {

using NotifyPopulation = NotifyTest;

TEST_F(NotifyPopulation, PhyL3AndFirstMemberNotificationsCreateAndRemoveEntries) {
    const auto phy = [&](uint8_t state) { return sim::PhyState{eth2, iod(eth2), state}; };
    const auto fop = [&](sim::IfIndex from, sim::IfIndex to) {
        return sim::FirstOperationalMember{po1, from, to};
    };
    const std::string by_phy = " lcache entry for if-iod 3 on phy-change.";
    const std::string by_fop = text("Creating lcache entry for if-index 0x%x on agg-fop", po1);
    const std::string not_by_l3 = "Not creating cache entry for if-iod 9 on l3-change, ";
    // A cached port-channel's keys follow the new member: it is refreshed.
    const std::string refresh = text("Lcache-update for if-index 0x%x, iod 6\n", po1);
    const std::string change =
        text("interface port-channel1 (if 0x%x) during change from 0x%x to 0x", po1, eth3);
    const std::string to_eth4 = change + text("%x\n", eth4);
    // Before: the interface, l3_track and whether it is cached; the record
    // and its result; after: whether it is cached and the trace that follows
    // the heading, if any.
    using Case =
        std::tuple<sim::IfIndex, uint32_t, bool, sim::Notification, int32_t, bool, std::string>;
    const Case cases[] = {
        {eth2, 0, false, phy(2), 0, false, ""},
        {eth2, 0, true, phy(2), 1, false, "Deleting" + by_phy},
        {eth2, 0, false, phy(1), 1, true, "Creating" + by_phy},
        {eth2, 0, false, phy(0), 1, true, "Creating" + by_phy},
        {eth2, 0, true, phy(7), 1, true, ""},
        {svi, 0, false, l3(svi, 1), -1, false, not_by_l3 + "0, state: 1"},
        {svi, 0, true, l3(svi, 3), 0, true, ""},
        {svi, 1, false, l3(svi, 1), 0, true, "Creating lcache entry for if-iod 9 on l3-change."},
        {svi, 1, false, l3(svi, 0), -1, false, not_by_l3 + "1, state: 0"},
        {svi, 1, true, l3(svi, 3), 0, false, "Removing lcache entry for if-iod 9 on l3-change."},
        {svi, 1, true, l3(svi, 1), 0, true, ""},
        {po1, 0, false, fop(0, eth3), 1, true, by_fop},
        {po1, 0, false, fop(0, 0), 1, true, by_fop},
        {po1, 0, false, fop(eth3, eth4), 0, false, "AGG lcache entry not found for " + to_eth4},
        {po1, 0, true, fop(eth3, eth4), 1, true, refresh},
        // The member is stored as it is, whether or not it names an interface.
        {po1, 0, true, fop(eth3, kUnknownIfindex), 1, true, refresh},
        {po1, 0, true, fop(eth3, 0), 1, false, "AGG lcache entry removed for " + change + "0\n"},
    };
    model.set_link(eth2, false); // so that setting a cached entry's link flag shows
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &[ifindex, l3_track, cached_before, sent, result, cached_after, next] = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i);
        init_tracking(l3_track);
        lcache_if_entry_t *before = cached_before ? warm(ifindex) : nullptr;
        TraceCapture::clear();
        const uint64_t fop_updates = lcache.stats.updates[LCACHE_STAT_AGG_IF];
        EXPECT_EQ(sim::deliver(sent), result);
        lcache_if_entry_t *after = cached(ifindex);
        ASSERT_EQ(after != nullptr, cached_after);
        const Texts texts = TraceCapture::traces();
        ASSERT_GE(texts.size(), 1u);
        EXPECT_EQ(texts.size() > 1 ? texts[1] : "", next);
        if (const auto *n = std::get_if<sim::PhyState>(&sent)) {
            EXPECT_EQ(texts[0],
                      text("Interface Ethernet1/2 (iod 3): entry 0x%x, state %u\n",
                           static_cast<uint32_t>(reinterpret_cast<uintptr_t>(before)), n->state));
            EXPECT_TRUE(!before || !after || (after->flags & LCACHE_FLAG_LINKUP));
        }
        if (std::holds_alternative<sim::L3State>(sent)) {
            EXPECT_EQ(texts[0], "L3 Protocol-change update for interface Vlan10 (iod 9)\n");
        }
        if (const auto *n = std::get_if<sim::FirstOperationalMember>(&sent)) {
            EXPECT_EQ(texts[0], text("AGG First-Op-member for interface port-channel1 (if 0x%x) "
                                     "From 0x%x to 0x%x\n",
                                     po1, n->old_member, n->new_member));
        }
        if (const auto *n = std::get_if<sim::FirstOperationalMember>(&sent); n && after) {
            EXPECT_EQ(after->agg_if, n->new_member);
            EXPECT_FALSE(after->dirty & LCACHE_ATTR_AGG_IF);
            // A new entry's own fill counts one more.
            EXPECT_EQ(lcache.stats.updates[LCACHE_STAT_AGG_IF] - fop_updates, before ? 1u : 2u);
        }
    }
}

// The first-operational-member record travels in network byte order.
TEST_F(NotifyPopulation, FirstOperationalMemberRecordIsBigEndian) {
    const auto msg =
        sim::to_record(sim::FirstOperationalMember{0x01020304, 0x05060708, 0x0A0B0C0D});
    const auto *bytes = reinterpret_cast<const uint8_t *>(&msg);
    EXPECT_EQ((std::vector(bytes, bytes + 16)),
              (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 10, 11, 12, 13}));
}

TEST_F(NotifyPopulation, AFailedCreationLeavesNothingBehind) {
    init_tracking(1);
    for (const auto &[sent, result] :
         {std::pair<sim::Notification, int32_t>{sim::FirstOperationalMember{po1, 0, eth3}, 0},
          {sim::PhyState{eth1, iod(eth1), 1}, 1},
          {l3(svi, 1), 0}}) {
        mtrack_fail_next(1);
        EXPECT_EQ(sim::deliver(sent), result);
    }
    EXPECT_EQ(lcache.if_table.num_entries, 0u);
}

using Counter = uint64_t lcache_stats_t::*;
using S = lcache_stats_t;
constexpr int32_t kApplied = LCACHE_NOTIFY_APPLIED, kIgnored = LCACHE_NOTIFY_IGNORED;
constexpr int32_t kStateOk = LCACHE_NOTIFY_STATE_OK, kStateIgnored = LCACHE_NOTIFY_STATE_IGNORED;

// Each row runs with the cache disabled (nothing counts, nothing changes),
// then enabled: its result and the one upd_* counter that counts it.
TEST_F(NotifyPopulation, UnknownInterfacesNullRecordsAndADisabledCacheGetTheirResults) {
    const Counter upd[] = {&S::upd_phy,       &S::upd_l2,        &S::upd_l3,     &S::upd_l3_param,
                           &S::upd_l2_bundle, &S::upd_l3_bundle, &S::upd_agg_fop};
    const auto unknown = [](auto n) {
        n.iod = kUnknownIod;
        return n;
    };
    const int32_t kNoInterface = static_cast<int32_t>(sim::status::no_interface);
    sim::L2State l2_unknown_if = l2(eth2);
    sim::L3State l3_unknown_if = l3(eth2, 1);
    l2_unknown_if.ifindex = l3_unknown_if.ifindex = kUnknownIfindex;
    const std::tuple<sim::Notification, int32_t, Counter, int32_t> rows[] = {
        {l2_unknown_if, kNoInterface, &S::upd_l2, kStateIgnored},
        {l3_unknown_if, kNoInterface, nullptr, kStateIgnored},
        {unknown(l2(eth1)), kStateIgnored, &S::upd_l2, kStateIgnored},
        {unknown(l3(eth1, 1)), kStateOk, &S::upd_l3, kStateIgnored}, // the creation fails
        {unknown(l3(eth1, 0)), kStateIgnored, &S::upd_l3, kStateIgnored},
        {unknown(sim::PhyState{eth1, 0, 1}), kApplied, &S::upd_phy, kIgnored}, // likewise
        {unknown(sim::PhyState{eth1, 0, LCACHE_PHY_GONE}), kIgnored, &S::upd_phy, kIgnored},
        {unknown(sim::L3Param{eth1, 0, true}), kIgnored, &S::upd_l3_param, kIgnored},
        {unknown(l2(eth1, true)), kIgnored, &S::upd_l2_bundle, kIgnored},
        {unknown(l3(po1, 1)), kIgnored, &S::upd_l3_bundle, kIgnored},
        {sim::SwitchportChange{kUnknownIod}, kIgnored, nullptr, kIgnored},
        {sim::VlanChange{kUnknownIod}, kIgnored, nullptr, kIgnored},
        {sim::SwitchportChange{iod(eth2)}, kApplied, nullptr, kIgnored},
        {sim::VlanChange{iod(eth2)}, kApplied, nullptr, kIgnored},
        {sim::FirstOperationalMember{kUnknownIfindex, eth3, eth4}, kIgnored, &S::upd_agg_fop,
         kIgnored},
        {sim::FirstOperationalMember{kUnknownIfindex, 0, eth4}, kIgnored, &S::upd_agg_fop,
         kIgnored},
    };
    init_tracking(1);
    warm(eth2);
    for (const bool enabled : {false, true}) {
        enabled ? lcache_restore_cache() : lcache_disable_cache();
        for (size_t i = 0; i < std::size(rows); ++i) {
            const auto &[sent, result, counted, disabled] = rows[i];
            SCOPED_TRACE(testing::Message() << "row " << i << (enabled ? "" : ", disabled"));
            const lcache_stats_t before = lcache.stats;
            lcache_print_str[0] = '\0';
            EXPECT_EQ(sim::deliver(sent), enabled ? result : disabled);
            for (Counter counter : upd)
                EXPECT_EQ(lcache.stats.*counter - before.*counter,
                          enabled && counter == counted ? 1u : 0u);
            if (enabled && result == kNoInterface) {
                EXPECT_STREQ(lcache_print_str, " Invalid interface index 0x7f000001\n");
            }
            EXPECT_EQ(lcache.if_table.num_entries, 1u);
        }
    }
    // A NULL record is ignored before anything is read, asked or counted.
    const lcache_stats_t before = lcache.stats;
    sim::reset_call_counts();
    EXPECT_EQ(
        std::tuple(lcache_update_phy_state(nullptr), lcache_update_l3_param(nullptr, nullptr),
                   lcache_update_l2_bundle_state(nullptr), lcache_update_l3_bundle_state(nullptr),
                   lcache_update_agg_fop(nullptr), lcache_update_l2_state(nullptr),
                   lcache_update_l3_state(nullptr)),
        std::tuple(kIgnored, kIgnored, kIgnored, kIgnored, kIgnored, kStateIgnored, kStateIgnored));
    EXPECT_EQ(std::tuple(memcmp(&before, &lcache.stats, sizeof before), sim::total_calls()),
              std::tuple(0, 0u));
}

TEST_F(NotifyPopulation, L3StateWritesTheIodItLooksUpIntoTheCallersRecord) {
    init();
    warm(svi);
    lcache_l3_msg_t msg = sim::to_record(l3(svi, 1));
    for (const uint32_t status : {0u, 0x1234u}) {
        if (status)
            sim::inject_fault(PeerFn::netif_get_iod_frm_ifindex,
                              sim::Fault{sim::FaultKind::status, status, 1});
        msg.iod = 0;
        EXPECT_EQ(lcache_update_l3_state(&msg), static_cast<int32_t>(status));
        EXPECT_EQ(msg.iod, status ? 0 : iod(svi));
        EXPECT_EQ(lcache.stats.upd_l3, 1u); // a failed look-up is not counted
    }
    EXPECT_EQ(lcache_print_str,
              text("netif_get_iod_frm_ifindex failed for if-index 0x%x, err: 0x1234\n", svi));
}

} // namespace
} // namespace lctest
