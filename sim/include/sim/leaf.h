// SPDX-License-Identifier: MIT
// A typical leaf switch, the starting point of tools and tests.
#pragma once

#include <cstdint>

#include "sim/switch.h"

namespace sim {

// The largest leaf, option by option; build_leaf_switch refuses more.
inline constexpr uint32_t kMaxLeafPorts = 4095;         // one module's ports
inline constexpr uint32_t kMaxLeafPortChannels = 4096;  // members come out of the ports
inline constexpr uint32_t kMaxLeafVlans = 4094;         // VLANs 1-4094
inline constexpr uint32_t kMaxLeafSubinterfaces = 1094; // encapsulation VLANs 3001-4094
inline constexpr uint32_t kMaxLeafLoopbacks = 1024;

struct LeafOptions {
    uint32_t ethernet_ports = 48;
    uint32_t port_channels = 8;
    uint32_t members_per_channel = 2;
    uint32_t vlans = 200;
    uint16_t first_vlan = 100;
    uint32_t subinterfaces = 4;
    uint32_t loopbacks = 2;
    bool management = true;
    uint16_t slice = 1;
};

// Built in this order, which is also the order of the iods: mgmt0,
// Ethernet1/1-N, port-channel1-P, Vlan<first_vlan>..., the sub-interfaces,
// loopback0..., Null0.
//  - Ethernet1/1-S are routed ports, each with one sub-interface
//    Ethernet1/k.<3000+k> on encapsulation VLAN 3000+k.
//  - The last P * M ports are the members of port-channel1-P (M each, in
//    port order, all operational); the port-channels are trunks.
//  - The ports in between are access ports spread over the VLANs in turn.
//  - Every VLAN has a VLAN interface.
// Throws ModelError when the options do not fit: past a bound above, too
// few ports for the sub-interfaces and members, VLANs past 4094.
Switch build_leaf_switch(const LeafOptions &options = {});
// The same check alone, before anything is built.
void check_leaf_options(const LeafOptions &options);

} // namespace sim
