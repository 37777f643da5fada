// SPDX-License-Identifier: MIT
// What the switch tells its clients about each change to the model.
#include "sim/notifier.h"

namespace sim {

using namespace lcache_records;

namespace {

bool is_bundle(const Interface &itf) { return itf.type == IfType::port_channel; }

} // namespace

L2State l2_state(const Interface &itf) {
    L2State n;
    n.bundle = is_bundle(itf);
    n.ifindex = itf.ifindex;
    n.iod = itf.iod;
    n.mac = itf.mac;
    n.mtu = itf.mtu;
    if (itf.switchport && itf.vlan_info.valid) {
        n.state = kL2Vlan;
        n.native_vlan = itf.vlan_info.mode == kVlanModeTrunk;
        n.vlan = itf.vlan_info.vlan;
    } else if (itf.type == IfType::vlan_if) {
        n.state = kL2Vlan;
        n.vlan = itf.vlan_id;
    }
    return n;
}

L3State l3_state(const Interface &itf) {
    return L3State{is_bundle(itf), itf.ifindex, itf.iod,
                   l3_code(itf.linkup, itf.protoup, is_bundle(itf)), itf.mtu};
}

// An interface's L2 state refreshes linkup only where its phy notifications
// do not (not on Ethernet ports), and a port-channel's L3 state cannot say
// "protocol up, link down": the record whose flags are asked of the
// interface manager goes last.
Notifications Notifier::link_and_protocol(const Interface &itf) const {
    if (is_bundle(itf))
        return {l3_state(itf), l2_state(itf)};
    return {l2_state(itf), l3_state(itf)};
}

Notifications Notifier::set_link(IfIndex ifindex, bool up) {
    model_.set_link(ifindex, up);
    const Interface &itf = model_.at(ifindex);
    Notifications sent;
    if (up)
        sent.push_back(PhyState{ifindex, itf.iod, kPhyUp});
    for (Notification &n : link_and_protocol(itf))
        sent.push_back(std::move(n));
    return sent;
}

Notifications Notifier::set_protocol(IfIndex ifindex, bool up) {
    model_.set_protocol(ifindex, up);
    return link_and_protocol(model_.at(ifindex));
}

Notifications Notifier::set_mtu(IfIndex ifindex, uint16_t mtu) {
    model_.set_mtu(ifindex, mtu);
    return {L3Param{ifindex, model_.at(ifindex).iod, true}};
}

Notifications Notifier::set_mac(IfIndex ifindex, const Mac &mac) {
    model_.set_mac(ifindex, mac);
    return {l2_state(model_.at(ifindex))};
}

Notifications Notifier::set_vlan(IfIndex ifindex, uint16_t vlan) {
    model_.set_vlan(ifindex, vlan);
    return {VlanChange{model_.at(ifindex).iod}};
}

// The mode decides the switching flag and the VLAN as well.
Notifications Notifier::set_switchport_mode(IfIndex ifindex, SwitchportMode mode) {
    model_.set_switchport_mode(ifindex, mode);
    const Interface &itf = model_.at(ifindex);
    return {l2_state(itf), SwitchportChange{itf.iod}, VlanChange{itf.iod}};
}

template <class Change> Notifications Notifier::membership(IfIndex channel, Change change) {
    const IfIndex before = model_.first_operational_member(channel);
    change();
    const IfIndex after = model_.first_operational_member(channel);
    if (before == after)
        return {};
    return {FirstOperationalMember{channel, before, after}};
}

Notifications Notifier::add_member(IfIndex channel, IfIndex port, bool operational) {
    return membership(channel, [&] { model_.add_member(channel, port, operational); });
}

Notifications Notifier::remove_member(IfIndex channel, IfIndex port) {
    return membership(channel, [&] { model_.remove_member(channel, port); });
}

Notifications Notifier::set_member_operational(IfIndex channel, IfIndex port, bool operational) {
    return membership(channel, [&] { model_.set_member_operational(channel, port, operational); });
}

Notifications Notifier::remove_interface(IfIndex ifindex) {
    const uint32_t iod = model_.at(ifindex).iod;
    model_.remove_interface(ifindex);
    return {PhyState{ifindex, iod, kPhyGone}};
}

// A new interface whose link is up announces itself like a link coming up.
Notifications Notifier::added(IfIndex ifindex) const {
    const Interface &itf = model_.at(ifindex);
    if (!itf.linkup)
        return {};
    return {PhyState{ifindex, itf.iod, kPhyUp}};
}

} // namespace sim
