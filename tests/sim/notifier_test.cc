// The notifications the simulated switch sends about each change.
#include "sim/notifier.h"
#include "sim_fixture.h"

using namespace sim;

namespace {

class SimNotifier : public SimSwitchTest {
  protected:
    Notifier notifier{model};
};

TEST_F(SimNotifier, L2StateCarriesTheVlanOfBridgedInterfacesOnly) {
    model.set_switchport_mode(eth1, SwitchportMode::trunk);
    model.set_vlan(eth1, 30);
    struct Case {
        IfIndex ifindex;
        uint8_t state;
        bool native;
        uint32_t vlan;
    };
    for (const Case &c : {Case{eth2, kL2Bridged, false, 10}, Case{eth1, kL2Bridged, true, 30},
                          Case{svi, kL2Bridged, false, 10}, Case{subif, kL2Routed, false, 0},
                          Case{gre, kL2Routed, false, 0}}) {
        const Interface &itf = model.at(c.ifindex);
        const L2State n = l2_state(itf);
        EXPECT_EQ(n,
                  (L2State{false, c.ifindex, itf.iod, c.state, c.native, itf.mac, itf.mtu, c.vlan}))
            << itf.name;
    }
    EXPECT_TRUE(l2_state(model.at(po1)).bundle);
}

TEST_F(SimNotifier, L3StateOfAPortChannelTellsLinkOnlyApart) {
    model.set_protocol(eth1, false);
    model.set_protocol(po1, false);
    EXPECT_EQ(l3_state(model.at(eth1)).state, kL3Down);
    EXPECT_EQ(l3_state(model.at(po1)), (L3State{true, po1, iod(po1), kL3BundleLinkOnly, 1500}));
    model.set_link(po1, false);
    EXPECT_EQ(l3_state(model.at(po1)).state, kL3Down);
    EXPECT_EQ(l3_state(model.at(eth2)).state, kL3Up);
}

TEST_F(SimNotifier, LinkAndProtocolChangesEndWithTheRecordThatAsksTheFlags) {
    Notifications sent = notifier.set_link(eth1, false);
    EXPECT_FALSE(model.at(eth1).linkup);
    EXPECT_EQ(sent, (Notifications{l2_state(model.at(eth1)), l3_state(model.at(eth1))}));
    sent = notifier.set_link(eth1, true);
    EXPECT_EQ(sent, (Notifications{PhyState{eth1, iod(eth1), kPhyUp}, l2_state(model.at(eth1)),
                                   l3_state(model.at(eth1))}));

    sent = notifier.set_protocol(po1, false);
    EXPECT_EQ(sent, (Notifications{l3_state(model.at(po1)), l2_state(model.at(po1))}));
    EXPECT_EQ(std::get<L3State>(sent[0]).state, kL3BundleLinkOnly);
}

TEST_F(SimNotifier, AttributeChangesNameWhatChanged) {
    EXPECT_EQ(notifier.set_mtu(gre, 9000), (Notifications{L3Param{gre, iod(gre), true}}));
    EXPECT_EQ(model.at(gre).mtu, 9000);

    const Mac mac{2, 0, 0, 0, 0, 0x77};
    const Notifications sent = notifier.set_mac(eth1, mac);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::get<L2State>(sent[0]).mac, mac);

    EXPECT_EQ(notifier.set_vlan(eth2, 30), (Notifications{VlanChange{iod(eth2)}}));
    EXPECT_EQ(model.at(eth2).vlan_info.vlan, 30u);

    const Notifications mode_sent = notifier.set_switchport_mode(eth1, SwitchportMode::access);
    EXPECT_TRUE(model.at(eth1).switchport);
    EXPECT_EQ(mode_sent, (Notifications{l2_state(model.at(eth1)), SwitchportChange{iod(eth1)},
                                        VlanChange{iod(eth1)}}));
}

TEST_F(SimNotifier, MembershipChangesReportOnlyANewFirstOperationalMember) {
    // po1: eth3 and eth5 operational, eth4 not.
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
}

TEST_F(SimNotifier, InterfacesComeWithAPhyUpAndGoWithAPhyGone) {
    const IfIndex lo1 = model.add_loopback(1);
    EXPECT_EQ(notifier.added(lo1), (Notifications{PhyState{lo1, iod(lo1), kPhyUp}}));
    const uint32_t gone_iod = iod(lo1);
    EXPECT_EQ(notifier.remove_interface(lo1), (Notifications{PhyState{lo1, gone_iod, kPhyGone}}));
    EXPECT_EQ(model.find(lo1), nullptr);

    model.set_link(lo0, false);
    EXPECT_EQ(notifier.added(lo0), Notifications{});
}

TEST_F(SimNotifier, ARefusedChangeSendsNothingAndChangesNothing) {
    EXPECT_THROW(notifier.remove_interface(eth3), ModelError); // a member of po1
    EXPECT_NE(model.find(eth3), nullptr);
    EXPECT_THROW(notifier.add_member(eth1, eth2), ModelError); // not a port-channel
    EXPECT_EQ(model.at(eth2).bundle, 0u);
    EXPECT_THROW(notifier.set_vlan(lo0, 10), ModelError);
}

} // namespace
