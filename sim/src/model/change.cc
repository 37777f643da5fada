// SPDX-License-Identifier: MIT
// Applying a change given as plain data.
#include "sim/change.h"

#include <string>

namespace sim {
namespace {

// A Change carries 32-bit arguments; the model takes narrower ones.
uint16_t narrow16(uint32_t value, const char *what) {
    if (value > 0xFFFF)
        throw ModelError(std::string(what) + " " + std::to_string(value) + " does not fit 16 bits");
    return static_cast<uint16_t>(value);
}

SwitchportMode switchport_mode(uint32_t code) {
    if (code > static_cast<uint32_t>(SwitchportMode::trunk))
        throw ModelError("switchport mode " + std::to_string(code) + " does not exist");
    return static_cast<SwitchportMode>(code);
}

IfType tunnel_type(uint32_t code) {
    if (code > 0xFF || !is_tunnel(static_cast<IfType>(code)))
        throw ModelError("type " + std::to_string(code) + " is not a tunnel");
    return static_cast<IfType>(code);
}

Applied added(const Notifier &notifier, IfIndex ifindex) {
    return Applied{ifindex, notifier.added(ifindex)};
}

// The changes nobody is told about.
Applied silent(Switch &model, const Change &c) {
    switch (c.kind) {
    case ChangeKind::set_encap: model.set_encap(c.target, narrow16(c.arg1, "encapsulation")); break;
    case ChangeKind::set_switching: model.set_switching(c.target, c.arg1 != 0); break;
    case ChangeKind::set_port_mode: model.set_port_mode(c.target, c.arg1); break;
    case ChangeKind::set_extension: model.set_extension(c.target, c.arg1, c.arg2); break;
    case ChangeKind::set_private_data:
        model.set_private_data(c.target, c.arg1, PrivateData{c.arg2, c.arg3});
        break;
    case ChangeKind::set_iod: model.set_iod(c.target, c.arg1); break;
    case ChangeKind::set_pi: model.set_pi(c.target, c.arg1); break;
    case ChangeKind::set_lif: model.set_lif(c.target, c.arg1); break;
    case ChangeKind::add_vlan: model.add_vlan(narrow16(c.arg1, "VLAN")); break;
    case ChangeKind::set_vlan_bd:
        model.set_vlan_bd(narrow16(c.arg1, "VLAN"), narrow16(c.arg2, "bridge domain"));
        break;
    case ChangeKind::set_flood_index:
        model.set_flood_index(narrow16(c.arg1, "bridge domain"), c.arg2);
        break;
    case ChangeKind::set_primary_vlan:
        model.set_primary_vlan(narrow16(c.arg1, "VLAN"), narrow16(c.arg2, "VLAN"));
        break;
    default:
        throw ModelError("change kind " + std::to_string(static_cast<int>(c.kind)) +
                         " does not exist");
    }
    return {};
}

} // namespace

Applied apply_change(Switch &model, const Change &c) {
    Notifier notifier(model);
    switch (c.kind) {
    case ChangeKind::add_ethernet: return added(notifier, model.add_ethernet(c.arg1, c.arg2));
    case ChangeKind::add_mgmt: return added(notifier, model.add_mgmt(c.arg1));
    case ChangeKind::add_port_channel: return added(notifier, model.add_port_channel(c.arg1));
    case ChangeKind::add_vlan_interface:
        return added(notifier, model.add_vlan_interface(narrow16(c.arg1, "VLAN")));
    case ChangeKind::add_subinterface:
        return added(notifier, model.add_subinterface(c.target, c.arg1,
                                                      narrow16(c.arg2, "encapsulation VLAN")));
    case ChangeKind::add_loopback: return added(notifier, model.add_loopback(c.arg1));
    case ChangeKind::add_null0: return added(notifier, model.add_null0());
    case ChangeKind::add_tunnel:
        return added(notifier, model.add_tunnel(tunnel_type(c.arg1), c.arg2));
    case ChangeKind::remove_interface: return {0, notifier.remove_interface(c.target)};
    case ChangeKind::set_link: return {0, notifier.set_link(c.target, c.arg1 != 0)};
    case ChangeKind::set_protocol: return {0, notifier.set_protocol(c.target, c.arg1 != 0)};
    case ChangeKind::set_mtu: return {0, notifier.set_mtu(c.target, narrow16(c.arg1, "MTU"))};
    case ChangeKind::set_mac: return {0, notifier.set_mac(c.target, c.mac)};
    case ChangeKind::set_vlan: return {0, notifier.set_vlan(c.target, narrow16(c.arg1, "VLAN"))};
    case ChangeKind::set_switchport_mode:
        return {0, notifier.set_switchport_mode(c.target, switchport_mode(c.arg1))};
    case ChangeKind::add_member: return {0, notifier.add_member(c.target, c.arg1, c.arg2 != 0)};
    case ChangeKind::remove_member: return {0, notifier.remove_member(c.target, c.arg1)};
    case ChangeKind::set_member_operational:
        return {0, notifier.set_member_operational(c.target, c.arg1, c.arg2 != 0)};
    default: return silent(model, c);
    }
}

} // namespace sim
