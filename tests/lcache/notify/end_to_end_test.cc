// The switch changes, sends what it sends, the cache is handed all of it:
// afterwards the cache's answers agree with the model, and with entries
// kept in place (l3_track 0) none of them needs the interface manager.
#include <cstring>
#include <functional>

#include "notify_fixture.h"

namespace lctest {
namespace {

// One attribute: the cache's answer and the interface manager's, which
// answers from the model.
struct View {
    const char *name;
    sim::PeerFn peer;
    uint64_t (*cached)(uint32_t iod);
    uint64_t (*asked)(uint32_t iod);
};

template <auto Query> uint64_t answer(uint32_t iod) { return Query(iod); }

uint64_t mac_value(const uint8_t *mac) {
    uint64_t value = 0;
    for (int i = 0; i < 6; ++i)
        value = value << 8 | mac[i];
    return value;
}
uint64_t cached_mac(uint32_t iod) { return mac_value(lcache_netif_get_if_mac_addr(iod)); }
uint64_t asked_mac(uint32_t iod) {
    uint8_t mac[6] = {};
    netif_get_if_src_mac_addr(iod, mac);
    return mac_value(mac);
}

const View kViews[] = {
    {"linkup", sim::PeerFn::netif_is_linkup, answer<lcache_netif_is_linkup>,
     answer<netif_is_linkup>},
    {"protoup", sim::PeerFn::netif_is_protoup, answer<lcache_netif_is_protoup>,
     answer<netif_is_protoup>},
    {"switchport", sim::PeerFn::netif_is_switchport, answer<lcache_netif_is_switchport>,
     answer<netif_is_switchport>},
    {"switching", sim::PeerFn::netif_is_switching_enabled_on_iod,
     answer<lcache_netif_is_switching_enabled_on_iod>, answer<netif_is_switching_enabled_on_iod>},
    {"mtu", sim::PeerFn::netif_get_if_mtu, answer<lcache_netif_get_if_mtu>,
     answer<netif_get_if_mtu>},
    {"vlan", sim::PeerFn::netif_is_vlan, answer<lcache_netif_get_if_vlanid>,
     answer<netif_get_if_vlanid>},
    {"mac", sim::PeerFn::netif_get_if_src_mac_addr, cached_mac, asked_mac},
};

// An all-zero MAC is never kept as the answer: it is asked for every time.
bool has_mac(const sim::Interface &itf) { return itf.mac != sim::Mac{}; }

struct Step {
    const char *name;
    std::function<sim::Notifications()> change;
    sim::IfIndex ifindex;
};

class NotifyEndToEnd : public NotifyTest, public testing::WithParamInterface<uint32_t> {
  protected:
    void expect_agrees(sim::IfIndex ifindex, bool without_calls) {
        const sim::Interface &itf = model.at(ifindex);
        for (const View &v : kViews) {
            sim::reset_call_counts();
            const uint64_t cached = v.cached(itf.iod);
            if (without_calls &&
                (v.peer != sim::PeerFn::netif_get_if_src_mac_addr || has_mac(itf))) {
                EXPECT_EQ(calls(v.peer), 0u) << itf.name << ": " << v.name;
            }
            EXPECT_EQ(cached, v.asked(itf.iod)) << itf.name << ": " << v.name;
        }
        if (itf.type == sim::IfType::port_channel) {
            sim::reset_call_counts();
            uint32_t fop = 0;
            EXPECT_EQ(lcache_agg_get_fop(ifindex, &fop), 0u);
            EXPECT_EQ(fop, model.first_operational_member(ifindex));
            if (without_calls) {
                EXPECT_EQ(calls(sim::PeerFn::agg_get_pc_info), 0u);
            }
        }
    }

    sim::Notifier notifier{model};
};

TEST_P(NotifyEndToEnd, QueriesAfterTheNotificationsAgreeWithTheModel) {
    const uint32_t l3_track = GetParam();
    init_tracking(l3_track);
    for (sim::IfIndex ifindex : {eth1, eth2, po1, svi, gre})
        ASSERT_NE(warm(ifindex), nullptr);
    const sim::Mac new_mac{0x02, 0, 0, 0, 0x12, 0x34};
    const Step steps[] = {
        {"eth1 link down", [&] { return notifier.set_link(eth1, false); }, eth1},
        {"eth1 link up", [&] { return notifier.set_link(eth1, true); }, eth1},
        {"po1 protocol down", [&] { return notifier.set_protocol(po1, false); }, po1},
        {"po1 link down", [&] { return notifier.set_link(po1, false); }, po1},
        {"po1 link up", [&] { return notifier.set_link(po1, true); }, po1},
        {"svi mtu", [&] { return notifier.set_mtu(svi, 9000); }, svi},
        {"gre mtu", [&] { return notifier.set_mtu(gre, 1400); }, gre},
        {"eth1 mac", [&] { return notifier.set_mac(eth1, new_mac); }, eth1},
        {"eth2 vlan", [&] { return notifier.set_vlan(eth2, 20); }, eth2},
        {"eth1 trunk",
         [&] { return notifier.set_switchport_mode(eth1, sim::SwitchportMode::trunk); }, eth1},
        {"eth2 routed",
         [&] { return notifier.set_switchport_mode(eth2, sim::SwitchportMode::routed); }, eth2},
        {"po1 first member down", [&] { return notifier.set_member_operational(po1, eth3, false); },
         po1},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        sim::deliver_all(s.change());
        expect_tables_consistent();
        // With l3_track an L3 "down" removes the entry; the queries then
        // fill a new one from the interface manager.
        expect_agrees(s.ifindex, l3_track == 0);
    }
}

TEST_P(NotifyEndToEnd, InterfacesAndPortChannelsComeAndGo) {
    init_tracking(GetParam());
    warm(gre);
    warm(po1);
    const sim::IfIndex eth9 = model.add_ethernet(1, 9);
    sim::deliver_all(notifier.added(eth9));
    ASSERT_NE(cached(eth9), nullptr);
    expect_agrees(eth9, true);

    sim::deliver_all(notifier.remove_interface(gre));
    EXPECT_EQ(cached(gre), nullptr);

    // The last operational member goes: so does the port-channel's entry.
    sim::deliver_all(notifier.set_member_operational(po1, eth3, false));
    ASSERT_NE(cached(po1), nullptr);
    sim::deliver_all(notifier.set_member_operational(po1, eth4, false));
    EXPECT_EQ(cached(po1), nullptr);
    // The first one back creates it, and its first query is answered.
    sim::deliver_all(notifier.set_member_operational(po1, eth4, true));
    ASSERT_NE(cached(po1), nullptr);
    expect_agrees(po1, true);
}

INSTANTIATE_TEST_SUITE_P(L3Track, NotifyEndToEnd, testing::Values(0u, 1u));

} // namespace
} // namespace lctest
