// SPDX-License-Identifier: MIT
// How the simulated switch numbers its interfaces.
//
// ifindex: the type code in the top byte, a per-kind number below it, so an
//   ifindex reads as what it names:
//     Ethernet<m>/<p>      26 << 24 | m << 12 | p      (m 1-255, p 1-4095)
//     mgmt<n>, loopback<n>, port-channel<n>, Tunnel<n>, Null0
//                          type << 24 | n
//     Vlan<v>              7 << 24 | v
//     sub-interfaces       9 << 24 | creation serial (1, 2, ...; never reused)
// iod: handed out in creation order from 1, never reused while the model
//   lives (0 = the interface has none).
// pi:  Ethernet ports only, from 32 up (0-31 are the ASIC's CPU and
//   recirculation ports).  A port-channel has none of its own: the index
//   mapper answers the one of its first operational member.
// LIF: every interface that can route (Ethernet ports, port-channels, VLAN
//   interfaces, sub-interfaces, tunnels), from 4096 up (the ASIC keeps the
//   low LIFs for itself).
// Bridge domains default to the VLAN number; a bridge domain's flood index
//   is 0x4000 + bd, above every port index.
// Every key (ifindex, iod, pi, LIF, name; bd among VLANs) is unique, and the
// control API refuses a change that would make two objects share one.
#pragma once

#include <cstdint>

#include "sim/types.h"

namespace sim {

inline constexpr uint32_t kFirstIod = 1;
inline constexpr uint32_t kFirstPi = 32;
inline constexpr uint32_t kFirstLif = 4096;
inline constexpr uint32_t kFloodIndexBase = 0x4000;
inline constexpr uint32_t kSubifSerialLimit = 1u << 24;

// Routing contexts: every interface starts in the default one, the
// management port in its own.
inline constexpr uint32_t kDefaultContext = 1;
inline constexpr uint32_t kManagementContext = 2;

inline constexpr IfIndex make_ifindex(IfType type, uint32_t number) {
    return uint32_t{type_code(type)} << 24 | (number & 0xFFFFFF);
}

inline constexpr IfIndex ethernet_ifindex(uint32_t module, uint32_t port) {
    return make_ifindex(IfType::ethernet, module << 12 | port);
}

inline constexpr uint32_t default_flood_index(uint16_t bd) { return kFloodIndexBase + bd; }

// Base routing table of a routing context (0 = no context, no table).
inline constexpr uint32_t base_table_id(uint32_t context) {
    return context == 0 ? 0 : 0x80000000u | context;
}

} // namespace sim
