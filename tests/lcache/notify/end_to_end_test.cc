// SPDX-License-Identifier: MIT
// The switch changes, sends what it sends, the cache is handed all of it:
// afterwards the cache's answers agree with the model, and with entries
// kept in place (l3_track 0) none of them needs the interface manager.
#include <functional>

#include "notify_fixture.h"

namespace lctest {
namespace {

class NotifyEndToEnd : public NotifyTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(NotifyEndToEnd, QueriesAfterTheNotificationsAgreeWithTheModel) {
    // With l3_track an L3 "down" removes the entry; the queries then fill a
    // new one from the interface manager.
    const bool kept_in_place = GetParam() == 0;
    init_tracking(GetParam());
    for (sim::IfIndex ifindex : {eth1, eth2, po1, svi, gre})
        warm(ifindex);
    sim::Notifier notifier{model};
    using Mode = sim::SwitchportMode;
    const sim::Mac mac{0x02, 0, 0, 0, 0x12, 0x34};
    const std::pair<sim::IfIndex, std::function<sim::Notifications()>> steps[] = {
        {eth1, [&] { return notifier.set_link(eth1, false); }},
        {eth1, [&] { return notifier.set_link(eth1, true); }},
        {po1, [&] { return notifier.set_protocol(po1, false); }},
        {po1, [&] { return notifier.set_link(po1, false); }},
        {po1, [&] { return notifier.set_link(po1, true); }},
        {svi, [&] { return notifier.set_mtu(svi, 9000); }},
        {gre, [&] { return notifier.set_mtu(gre, 1400); }},
        {eth1, [&] { return notifier.set_mac(eth1, mac); }},
        {eth2, [&] { return notifier.set_vlan(eth2, 20); }},
        {eth1, [&] { return notifier.set_switchport_mode(eth1, Mode::trunk); }},
        {eth2, [&] { return notifier.set_switchport_mode(eth2, Mode::routed); }},
        {po1, [&] { return notifier.set_member_operational(po1, eth3, false); }},
    };
    for (size_t step = 0; step < std::size(steps); ++step) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        sim::deliver_all(steps[step].second());
        const sim::Interface &itf = model.at(steps[step].first);
        for (const Attr &a : kAttrs) {
            sim::reset_call_counts();
            const uint64_t kept = a.ask(itf.iod);
            EXPECT_TRUE(!kept_in_place || calls(a.peer) == 0) << sim::peer_fn_name(a.peer);
            // Disabled, the cache passes the query on to the interface manager.
            lcache_disable_cache();
            EXPECT_EQ(a.ask(itf.iod), kept) << sim::peer_fn_name(a.peer);
            lcache_restore_cache();
        }
        if (itf.type == sim::IfType::port_channel) {
            sim::reset_call_counts();
            uint32_t fop = 0;
            EXPECT_EQ(lcache_agg_get_fop(itf.ifindex, &fop), 0u);
            EXPECT_EQ(fop, model.first_operational_member(itf.ifindex));
            EXPECT_TRUE(!kept_in_place || calls(PeerFn::agg_get_pc_info) == 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(L3Track, NotifyEndToEnd, testing::Values(0u, 1u));

} // namespace
} // namespace lctest
