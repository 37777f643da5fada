// SPDX-License-Identifier: MIT
// How the kernel's interfaces are numbered for the cache.
//
//   iod      the kernel ifindex.
//   ifindex  the interface type in the top byte over the kernel ifindex
//            (type << 24 | kernel ifindex), so that classifying an ifindex
//            reads its own bits and asks nobody.  A kernel ifindex of 2^24
//            or more has no ifindex and answers "no interface".
//   pi       Ethernet ports: the kernel ifindex.  A port-channel answers the
//            one of its first operational member; other kinds have none.
//   LIF      kLifBase + the kernel ifindex, for every interface.
//   slice    1: a host is one partition.
//   bd       a VLAN id that some VLAN-filtering bridge carries; its flood
//            index is kFloodIndexBase + bd.
#pragma once

#include <cstdint>

#include "link_info.h"

namespace lcache_linux {

inline constexpr uint32_t kIndexBits = 24;
inline constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
inline constexpr uint32_t kLifBase = 0x1000;
inline constexpr uint32_t kFloodIndexBase = 0x4000;
inline constexpr uint16_t kHostSlice = 1;
inline constexpr uint32_t kDefaultContext = 1;
inline constexpr uint32_t kMainTable = 254; // RT_TABLE_MAIN
// A VRF's context: its device's kernel ifindex above every default.
inline constexpr uint32_t kVrfContextBase = 0x10000;

// Encapsulation codes answered by netif_get_if_encaptype (0 would mean "not
// yet available").
inline constexpr uint16_t kEncapArpa = 1;
inline constexpr uint16_t kEncapDot1q = 2;
inline constexpr uint16_t kEncapTunnel = 3;
inline constexpr uint16_t kEncapLoopback = 4;
inline constexpr uint16_t kEncapOther = 6;

// Port modes of netif_get_ifindex_port_mode_list and the Ethernet port
// manager (the platform's 512 has no Linux counterpart and is never given).
inline constexpr uint32_t kPortModeRouted = 1;
inline constexpr uint32_t kPortModeSwitched = 2;

// The word netif_get_vlan_info answers beside the VLAN.
inline constexpr uint32_t kVlanModeTagged = 1;   // a VLAN device's own VLAN
inline constexpr uint32_t kVlanModeUntagged = 2; // a bridge port's untagged VLAN

inline IfType classify(const LinkInfo &link) { return link.type; }
bool is_known_type(uint8_t code);

inline constexpr uint32_t make_ifindex(IfType type, uint32_t index) {
    return uint32_t{static_cast<uint8_t>(type)} << kIndexBits | index;
}
inline constexpr uint32_t kernel_index(uint32_t if_index) { return if_index & kIndexMask; }
inline constexpr uint8_t type_code(uint32_t if_index) {
    return static_cast<uint8_t>(if_index >> kIndexBits);
}

inline bool numberable(const LinkInfo &link) { return link.index <= kIndexMask; }
inline uint32_t os_ifindex(const LinkInfo &link) { return make_ifindex(classify(link), link.index); }

// Facts derived from one link, shared by the peers and the bridge.
bool is_bridge_port(const LinkInfo &link);
bool is_bond_member(const LinkInfo &link);
bool is_linkup(const LinkInfo &link);
bool is_protoup(const LinkInfo &link);
uint16_t mtu16(const LinkInfo &link);
uint16_t encap_of(const LinkInfo &link);
uint32_t context_of(const LinkInfo &link);
uint32_t base_table_of(const LinkInfo &link);

} // namespace lcache_linux
