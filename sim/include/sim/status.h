// SPDX-License-Identifier: MIT
// Failure statuses of the simulated peer services (0 is success).
#pragma once

#include <cstdint>

namespace sim::status {

inline constexpr uint32_t ok = 0;
inline constexpr uint32_t no_interface = 0x51A00001;     // unknown iod, ifindex, pi or LIF
inline constexpr uint32_t not_applicable = 0x51A00002;   // the interface has no such attribute
inline constexpr uint32_t no_vlan = 0x51A00003;          // unknown VLAN
inline constexpr uint32_t wrong_slice = 0x51A00004;      // a VLAN key of another slice
inline constexpr uint32_t no_bridge_domain = 0x51A00005; // no VLAN uses the bridge domain
inline constexpr uint32_t no_operational_member = 0x51A00006;
inline constexpr uint32_t bad_argument = 0x51A00007; // missing output, short buffer
inline constexpr uint32_t internal = 0x51A00008;     // the simulation itself failed

} // namespace sim::status
