// SPDX-License-Identifier: MIT
#include "sim/leaf.h"

#include <string>

namespace sim {
namespace {

constexpr uint16_t kFirstSubifVlan = 3000;

void check_bound(uint32_t value, uint32_t max, const char *what) {
    if (value > max)
        throw ModelError("a leaf holds at most " + std::to_string(max) + " " + what + ", not " +
                         std::to_string(value));
}

// The port-channel members are the last ports.
uint32_t first_member_port(const LeafOptions &o) {
    return o.ethernet_ports - o.port_channels * o.members_per_channel + 1;
}

void add_port_channels(Switch &model, const LeafOptions &o) {
    uint32_t port = first_member_port(o);
    for (uint32_t pc = 1; pc <= o.port_channels; ++pc) {
        const IfIndex channel = model.add_port_channel(pc);
        model.set_switchport_mode(channel, SwitchportMode::trunk);
        for (uint32_t m = 0; m < o.members_per_channel; ++m)
            model.add_member(channel, ethernet_ifindex(1, port++));
    }
}

void add_vlans(Switch &model, const LeafOptions &o) {
    for (uint32_t v = 0; v < o.vlans; ++v) {
        const auto vlan = static_cast<uint16_t>(o.first_vlan + v);
        model.add_vlan(vlan);
        model.add_vlan_interface(vlan);
    }
}

// The ports between the routed ones and the members, VLANs dealt in turn.
void make_access_ports(Switch &model, const LeafOptions &o) {
    const uint32_t first_access = o.subinterfaces + 1;
    for (uint32_t port = first_access; port < first_member_port(o); ++port) {
        const IfIndex access = ethernet_ifindex(1, port);
        model.set_switchport_mode(access, SwitchportMode::access);
        if (o.vlans > 0)
            model.set_vlan(access,
                           static_cast<uint16_t>(o.first_vlan + (port - first_access) % o.vlans));
    }
}

void add_subinterfaces(Switch &model, const LeafOptions &o) {
    for (uint32_t k = 1; k <= o.subinterfaces; ++k) {
        const auto encap = static_cast<uint16_t>(kFirstSubifVlan + k);
        model.add_subinterface(ethernet_ifindex(1, k), encap, encap);
    }
}

} // namespace

void check_leaf_options(const LeafOptions &o) {
    check_bound(o.ethernet_ports, kMaxLeafPorts, "Ethernet ports");
    check_bound(o.port_channels, kMaxLeafPortChannels, "port-channels");
    check_bound(o.vlans, kMaxLeafVlans, "VLANs");
    check_bound(o.subinterfaces, kMaxLeafSubinterfaces, "sub-interfaces");
    check_bound(o.loopbacks, kMaxLeafLoopbacks, "loopbacks");
    const uint64_t reserved =
        uint64_t{o.subinterfaces} + uint64_t{o.port_channels} * o.members_per_channel;
    if (reserved > o.ethernet_ports)
        throw ModelError("a leaf of " + std::to_string(o.ethernet_ports) +
                         " Ethernet ports cannot hold the requested sub-interfaces and members");
    if (o.vlans > 0 && (o.first_vlan < 1 || uint64_t{o.first_vlan} + o.vlans - 1 > kMaxLeafVlans))
        throw ModelError("the leaf's VLANs do not fit in 1-4094");
}

Switch build_leaf_switch(const LeafOptions &o) {
    check_leaf_options(o);
    Switch model;
    model.set_slice(o.slice);
    if (o.management)
        model.add_mgmt();
    for (uint32_t port = 1; port <= o.ethernet_ports; ++port)
        model.add_ethernet(1, port);
    add_port_channels(model, o);
    add_vlans(model, o);
    make_access_ports(model, o);
    add_subinterfaces(model, o);
    for (uint32_t n = 0; n < o.loopbacks; ++n)
        model.add_loopback(n);
    model.add_null0();
    return model;
}

} // namespace sim
