// SPDX-License-Identifier: MIT
// Vocabulary of the simulated switch: interface type codes, identifier
// sentinels, encapsulations, port and VLAN modes.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>

#include "if_index.h"

namespace sim {

using IfIndex = uint32_t;
using Mac = std::array<uint8_t, 6>;

// Interface type codes, as if_index_get_type answers them.  The cache tests
// five of them by value (they come from if_index.h); the others are this
// switch's own choice: tunnels sit next to GRE, the rest are small numbers
// the cache never compares against.
enum class IfType : uint8_t {
    null0 = 1,
    loopback = 3,
    mgmt_ether = IF_TYPE_MGMT_ETHER, // 5
    vlan_if = 7,
    subif = IF_TYPE_SUBIF,               // 9
    port_channel = IF_TYPE_PORT_CHANNEL, // 22
    gre_tunnel = IF_TYPE_GRE_TUNNEL,     // 24
    stretch_tunnel = 25,
    ethernet = IF_TYPE_ETH_PORT, // 26
    mpls_tunnel = 27,
    six_to_four_tunnel = 28,
};

inline constexpr uint8_t type_code(IfType type) { return static_cast<uint8_t>(type); }

inline constexpr bool is_tunnel(IfType type) {
    return type == IfType::gre_tunnel || type == IfType::stretch_tunnel ||
           type == IfType::mpls_tunnel || type == IfType::six_to_four_tunnel;
}

// "No such identifier" values, the same ones the cache uses.
inline constexpr uint32_t kNoIod = 0;
inline constexpr uint32_t kNoPi = 0xFFFFFFFF;
inline constexpr uint32_t kNoLif = 0xFFFFFFFF;

// Encapsulation types answered by netif_get_if_encaptype (0 would mean
// "not yet available", so every kind has a nonzero one).
enum Encap : uint16_t {
    kEncapArpa = 1,     // Ethernet framing: ports, bundles, VLAN interfaces
    kEncapDot1q = 2,    // tagged sub-interfaces
    kEncapTunnel = 3,   // every tunnel kind
    kEncapLoopback = 4, // loopbacks
    kEncapNull = 5,     // the discard interface
};

// Port modes answered by the port-mode queries.
inline constexpr uint32_t kPortModeNormal = 1;
inline constexpr uint32_t kPortModeIps = 512;

// The VLAN mode word of a switchport's VLAN information.
enum VlanMode : uint32_t {
    kVlanModeAccess = 1,
    kVlanModeTrunk = 2,
};

enum class SwitchportMode { routed, access, trunk };

// Address family and table name that rtctx_if_get_table_id knows.
inline constexpr uint32_t kAfIpv4 = 1;
inline constexpr const char *kBaseTableName = "base";

// A control call that would break the model's invariants (duplicate key,
// unknown interface, wrong kind of interface...).
class ModelError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace sim
