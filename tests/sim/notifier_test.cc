// SPDX-License-Identifier: MIT
// The notifications the simulated switch sends about each change.
#include "sim/notifier.h"
#include "sim_fixture.h"

using namespace sim;
using namespace lcache_records;

namespace {

class SimNotifier : public SimSwitchTest {
  protected:
    // The interface's L2 and L3 states, the one whose flags the interface
    // manager is asked for last: a port-channel's L3 state cannot say
    // "protocol up, link down".
    Notifications states(IfIndex ifindex) const {
        const Interface &itf = model.at(ifindex);
        if (itf.type == IfType::port_channel)
            return {l3_state(itf), l2_state(itf)};
        return {l2_state(itf), l3_state(itf)};
    }

    Notifier notifier{model};
};

// A bridged interface's L2 state carries its VLAN, a trunk's as the native
// one; a port-channel's L3 state can say "link up, protocol down".
TEST_F(SimNotifier, StatesCarryTheVlanOfBridgedInterfacesAndTheBundlesLinkState) {
    model.set_switchport_mode(eth1, SwitchportMode::trunk);
    model.set_vlan(eth1, 30);
    for (const auto &[ifindex, state, native, vlan] : {std::tuple{eth2, kL2Vlan, false, 10u},
                                                       {eth1, kL2Vlan, true, 30u},
                                                       {svi, kL2Vlan, false, 10u},
                                                       {subif, kL2NoVlan, false, 0u}}) {
        const Interface &itf = model.at(ifindex);
        EXPECT_EQ(l2_state(itf),
                  (L2State{false, ifindex, itf.iod, state, native, itf.mac, itf.mtu, vlan}));
    }
    EXPECT_TRUE(l2_state(model.at(po1)).bundle);
    model.set_protocol(eth1, false);
    model.set_protocol(po1, false);
    EXPECT_EQ(l3_state(model.at(eth1)).state, kL3Down);
    EXPECT_EQ(l3_state(model.at(po1)), (L3State{true, po1, iod(po1), kL3BundleLinkOnly, 1500}));
    model.set_link(po1, false);
    EXPECT_EQ(l3_state(model.at(po1)).state, kL3Down);
}

TEST_F(SimNotifier, EachChangeSendsWhatItChanged) {
    Notifications sent = notifier.set_link(eth1, false);
    EXPECT_EQ(sent, states(eth1));
    sent = notifier.set_link(eth1, true);
    const Notifications up = states(eth1);
    EXPECT_EQ(sent, (Notifications{PhyState{eth1, iod(eth1), kPhyUp}, up[0], up[1]}));
    sent = notifier.set_protocol(po1, false);
    EXPECT_EQ(sent, states(po1));
    EXPECT_EQ(notifier.set_mtu(gre, 9000), (Notifications{L3Param{gre, iod(gre), true}}));
    sent = notifier.set_mac(eth1, {2, 0, 0, 0, 0, 0x77});
    EXPECT_EQ(sent, Notifications{l2_state(model.at(eth1))});
    EXPECT_EQ(notifier.set_vlan(eth2, 30), (Notifications{VlanChange{iod(eth2)}}));
    sent = notifier.set_switchport_mode(eth1, SwitchportMode::access);
    EXPECT_EQ(sent, (Notifications{l2_state(model.at(eth1)), SwitchportChange{iod(eth1)},
                                   VlanChange{iod(eth1)}}));
    EXPECT_EQ(std::tuple(model.at(gre).mtu, model.at(eth2).vlan_info.vlan, model.at(eth1).mac[5]),
              std::tuple(uint16_t{9000}, 30u, uint8_t{0x77}));
}

// po1 has eth3 and eth5 operational, eth4 not: only a new first operational
// member is sent, and a new interface comes with a phy up.
TEST_F(SimNotifier, MembershipAndInterfacesComingAndGoing) {
    EXPECT_EQ(notifier.set_member_operational(po1, eth4, true), Notifications{});
    EXPECT_EQ(notifier.remove_member(po1, eth3),
              (Notifications{FirstOperationalMember{po1, eth3, eth4}}));
    EXPECT_EQ(notifier.add_member(po1, eth1),
              (Notifications{FirstOperationalMember{po1, eth4, eth1}}));
    EXPECT_EQ(notifier.add_member(po1, eth2, false), Notifications{});
    for (IfIndex port : {eth4, eth5})
        notifier.set_member_operational(po1, port, false);
    EXPECT_EQ(notifier.set_member_operational(po1, eth1, false),
              (Notifications{FirstOperationalMember{po1, eth1, 0}}));
    const IfIndex lo1 = model.add_loopback(1);
    const uint32_t lo1_iod = iod(lo1);
    EXPECT_EQ(notifier.added(lo1), (Notifications{PhyState{lo1, lo1_iod, kPhyUp}}));
    EXPECT_EQ(notifier.remove_interface(lo1), (Notifications{PhyState{lo1, lo1_iod, kPhyGone}}));
    model.set_link(lo0, false);
    EXPECT_EQ(notifier.added(lo0), Notifications{});
}

} // namespace
