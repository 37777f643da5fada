// SPDX-License-Identifier: MIT
// The change-notification tests: a cache over a small switch with one
// interface of each type the notifications treat apart, and the attributes
// a notification can leave fresh.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "lcache_fixture.h"
#include "sim/lcache_delivery.h"
#include "sim/notifier.h"

namespace lctest {

constexpr uint32_t kUnknownIod = 9999;
constexpr uint32_t kUnknownIfindex = 0x7F000001;

// One cached attribute: its sync bit, the interface-manager function that
// fetches it, and the cache's answer as a number.
struct Attr {
    uint32_t bit;
    sim::PeerFn peer;
    uint64_t (*ask)(uint32_t iod);
};

template <auto Query> uint64_t answer(uint32_t iod) { return Query(iod); }

inline uint64_t mac_of(uint32_t iod) {
    uint64_t value = 0;
    memcpy(&value, lcache_netif_get_if_mac_addr(iod), 6);
    return value;
}

using sim::PeerFn;
inline const Attr kAttrs[] = {
    {LCACHE_ATTR_LINKUP, PeerFn::netif_is_linkup, answer<lcache_netif_is_linkup>},
    {LCACHE_ATTR_PROTOUP, PeerFn::netif_is_protoup, answer<lcache_netif_is_protoup>},
    {LCACHE_ATTR_MAC, PeerFn::netif_get_if_src_mac_addr, mac_of},
    {LCACHE_ATTR_MTU, PeerFn::netif_get_if_mtu, answer<lcache_netif_get_if_mtu>},
    {LCACHE_ATTR_SWITCHPORT, PeerFn::netif_is_switchport, answer<lcache_netif_is_switchport>},
    {LCACHE_ATTR_SWITCHING, PeerFn::netif_is_switching_enabled_on_iod,
     answer<lcache_netif_is_switching_enabled_on_iod>},
    // A fetch of the VLAN id always asks whether the interface is a VLAN one.
    {LCACHE_ATTR_VLAN, PeerFn::netif_is_vlan, answer<lcache_netif_get_if_vlanid>},
    {LCACHE_ATTR_P2P, PeerFn::netif_is_native_p2p, answer<lcache_netif_is_native_p2p>},
    {LCACHE_ATTR_ETHERNET, PeerFn::netif_is_ethernet, answer<lcache_netif_is_ethernet>},
    {LCACHE_ATTR_ENCAP, PeerFn::netif_get_if_encaptype, answer<lcache_netif_get_if_encaptype>},
};

class NotifyTest : public LcacheSimTest {
  protected:
    NotifyTest() {
        mgmt = model.add_mgmt();                            // type 5
        eth1 = model.add_ethernet(1, 1);                    // type 26, routed
        eth2 = model.add_ethernet(1, 2);                    // access switchport
        eth3 = model.add_ethernet(1, 3);                    // member of po1
        eth4 = model.add_ethernet(1, 4);                    // member of po1
        po1 = model.add_port_channel(1);                    // type 22
        subif = model.add_subinterface(eth1, 100, 200);     // type 9
        gre = model.add_tunnel(sim::IfType::gre_tunnel, 1); // type 24
        svi = model.add_vlan_interface(10);                 // none of the above
        model.set_mac(gre, {0x02, 0, 0, 0, 0, 0x24});       // an all-zero one is never kept
        model.add_vlan(10);
        model.set_switchport_mode(eth2, sim::SwitchportMode::access);
        model.set_vlan(eth2, 10);
        model.add_member(po1, eth3);
        model.add_member(po1, eth4);
        model.set_switchport_mode(po1, sim::SwitchportMode::trunk);
    }

    void init_tracking(uint32_t l3_track) {
        lcache_attr a = attr_with(kSyncAll);
        a.l3_track = l3_track;
        init(a);
    }

    // The cached entry of the interface, or NULL; creates nothing.
    static lcache_if_entry_t *cached(sim::IfIndex ifindex) {
        return static_cast<lcache_if_entry_t *>(ht_lookup(&lcache.if_table, &ifindex));
    }

    // Creates the entry; the call counters start from 0 afterwards.
    lcache_if_entry_t *warm(sim::IfIndex ifindex) {
        lcache_if_entry_t *entry = lcache_if_create_entry_by_iod(iod(ifindex));
        sim::reset_call_counts();
        return entry;
    }

    sim::L2State l2(sim::IfIndex ifindex, bool bundle = false) const {
        sim::L2State n = sim::l2_state(model.at(ifindex));
        n.bundle = bundle;
        return n;
    }
    sim::L3State l3(sim::IfIndex ifindex, uint8_t state) const {
        sim::L3State n = sim::l3_state(model.at(ifindex));
        n.state = state;
        return n;
    }

    sim::IfIndex mgmt, eth1, eth2, eth3, eth4, po1, subif, gre, svi;
};

} // namespace lctest
