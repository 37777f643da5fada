// SPDX-License-Identifier: MIT
// Changing an interface's state and attributes.
#include <string>

#include "sim/numbering.h"
#include "sim/switch.h"

namespace sim {

void Switch::set_link(IfIndex ifindex, bool up) { edit(ifindex).linkup = up; }
void Switch::set_protocol(IfIndex ifindex, bool up) { edit(ifindex).protoup = up; }
void Switch::set_mtu(IfIndex ifindex, uint16_t mtu) { edit(ifindex).mtu = mtu; }
void Switch::set_mac(IfIndex ifindex, const Mac &mac) { edit(ifindex).mac = mac; }
void Switch::set_encap(IfIndex ifindex, uint16_t encap) { edit(ifindex).encap = encap; }
void Switch::set_switching(IfIndex ifindex, bool enabled) { edit(ifindex).switching = enabled; }
void Switch::set_port_mode(IfIndex ifindex, uint32_t mode) { edit(ifindex).port_mode = mode; }

void Switch::set_vlan(IfIndex ifindex, uint16_t vlan) {
    Interface &itf = edit(ifindex);
    if (!itf.switchport && itf.type != IfType::subif)
        throw ModelError(itf.name + " is neither a switchport nor a sub-interface");
    if (vlan < 1 || vlan > 4094)
        throw ModelError("VLAN " + std::to_string(vlan) + " is out of range 1-4094");
    itf.vlan_id = vlan;
    if (itf.vlan_info.valid)
        itf.vlan_info.vlan = vlan;
}

void Switch::set_switchport_mode(IfIndex ifindex, SwitchportMode mode) {
    Interface &itf = edit(ifindex);
    if (itf.type != IfType::ethernet && itf.type != IfType::port_channel)
        throw ModelError(itf.name + " cannot be a switchport");
    if (mode == SwitchportMode::routed) {
        itf.switchport = false;
        itf.switching = false;
        itf.vlan_info = {};
        itf.vlan_id = 0;
        return;
    }
    const uint32_t vlan = itf.vlan_info.valid ? itf.vlan_info.vlan : 1;
    itf.switchport = true;
    itf.switching = true;
    itf.vlan_info = {true, vlan, mode == SwitchportMode::access ? kVlanModeAccess : kVlanModeTrunk};
    itf.vlan_id = static_cast<uint16_t>(vlan);
}

void Switch::set_routing_context(IfIndex ifindex, uint32_t context) {
    Interface &itf = edit(ifindex);
    itf.context = context;
    itf.base_table = base_table_id(context);
}

void Switch::set_private_data(IfIndex ifindex, uint32_t key, PrivateData data) {
    edit(ifindex).private_data[key] = data;
}

void Switch::clear_private_data(IfIndex ifindex, uint32_t key) {
    edit(ifindex).private_data.erase(key);
}

void Switch::set_extension(IfIndex ifindex, uint32_t key, uint32_t value) {
    Interface &itf = edit(ifindex);
    if (value == 0)
        itf.extensions.erase(key);
    else
        itf.extensions[key] = value;
}

} // namespace sim
