// SPDX-License-Identifier: MIT
// Changes to the simulated switch that reach the cache through no
// notification, so what it holds goes stale.
#include "fuzz_state.h"

namespace lcfuzz {

namespace {

sim::IfIndex added_interface(State &s) {
    sim::Switch &m = s.model;
    const uint32_t number = s.in.below(64);
    switch (s.in.below(8)) {
    case 0: return m.add_ethernet(s.in.below(4) + 1, number + 1);
    case 1: return m.add_mgmt(number);
    case 2: return m.add_port_channel(number + 1);
    case 3: return m.add_vlan_interface(s.vlan());
    case 4: return m.add_subinterface(s.ifindex(), number + 1, s.vlan());
    case 5: return m.add_loopback(number);
    case 6: return m.add_null0();
    default: return m.add_tunnel(static_cast<sim::IfType>(s.in.u8()), number);
    }
}

void interface_change(State &s) {
    sim::Switch &m = s.model;
    switch (s.in.below(6)) {
    case 0: added_interface(s); break;
    case 1: m.remove_interface(s.ifindex()); break;
    case 2: m.set_iod(s.ifindex(), s.iod()); break;
    case 3: m.set_pi(s.ifindex(), s.pi()); break;
    case 4: m.set_lif(s.ifindex(), s.lif()); break;
    default: m.set_slice(s.in.u16()); break;
    }
}

uint32_t port_mode(State &s) {
    switch (s.in.below(3)) {
    case 0: return sim::kPortModeNormal;
    case 1: return sim::kPortModeIps;
    default: return s.in.u32();
    }
}

void state_change(State &s) {
    sim::Switch &m = s.model;
    const sim::IfIndex itf = s.ifindex();
    switch (s.in.below(12)) {
    case 0: m.set_link(itf, s.in.flag()); break;
    case 1: m.set_protocol(itf, s.in.flag()); break;
    case 2: m.set_mtu(itf, s.in.u16()); break;
    case 3: m.set_encap(itf, s.in.u16()); break;
    case 4: m.set_vlan(itf, s.vlan()); break;
    case 5: m.set_switchport_mode(itf, static_cast<sim::SwitchportMode>(s.in.below(3))); break;
    case 6: m.set_switching(itf, s.in.flag()); break;
    case 7: m.set_port_mode(itf, port_mode(s)); break;
    case 8: m.set_routing_context(itf, s.in.below(4)); break;
    case 9: m.set_private_data(itf, s.owner_key(), {s.in.u32(), s.in.u32()}); break;
    case 10: m.clear_private_data(itf, s.owner_key()); break;
    default: m.set_extension(itf, s.owner_key(), s.in.flag() ? 0 : s.in.u32()); break;
    }
}

void membership_change(State &s) {
    sim::Switch &m = s.model;
    const sim::IfIndex channel = s.ifindex();
    const sim::IfIndex port = s.ifindex();
    switch (s.in.below(3)) {
    case 0: m.add_member(channel, port, s.in.flag()); break;
    case 1: m.remove_member(channel, port); break;
    default: m.set_member_operational(channel, port, s.in.flag()); break;
    }
}

void vlan_change(State &s) {
    sim::Switch &m = s.model;
    const uint16_t vlan = s.vlan();
    switch (s.in.below(5)) {
    case 0: m.add_vlan(vlan); break;
    case 1: m.remove_vlan(vlan); break;
    case 2: m.set_vlan_bd(vlan, s.in.u16()); break;
    case 3: m.set_flood_index(s.in.u16(), s.in.u32()); break;
    default: m.set_primary_vlan(vlan, s.vlan()); break;
    }
}

constexpr OpDesc kOps[] = {
    {"interface_change", interface_change},
    {"state_change", state_change},
    {"membership_change", membership_change},
    {"vlan_change", vlan_change},
};

} // namespace

std::span<const OpDesc> model_ops() { return kOps; }

} // namespace lcfuzz
