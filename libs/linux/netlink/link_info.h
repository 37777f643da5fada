// SPDX-License-Identifier: MIT
// One interface as an RTM_NEWLINK message describes it: the facts the peers
// answer from, read out of the kernel's answer or notification.
#pragma once

#include <linux/netlink.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lcache_linux {

// Interface type codes, the platform's where it has one.
enum class IfType : uint8_t {
    other = 0,      // tun, ppp, CAN, ...: none of the kinds below
    loopback = 3,   // lo
    bridge = 7,     // a bridge: the routed interface of its VLANs
    vlan = 9,       // a VLAN device over a parent (a sub-interface)
    port_channel = 22, // bond, team
    gre_tunnel = 24,   // gre, gretap, ip6gre, ip6gretap
    ethernet = 26,     // every other Ethernet-framed device: veth, NICs, dummy, macvlan
    six_to_four = 28,  // sit
    tunnel = 29,       // ipip, ip6tnl, vxlan, geneve, wireguard, ...
};

inline constexpr size_t kNameSize = 16;  // IFNAMSIZ
inline constexpr size_t kKindSize = 16;  // longest link kind kept ("ip6gretap")

struct LinkInfo {
    uint32_t index = 0;    // kernel ifindex
    uint16_t arp_type = 0; // ARPHRD_*
    uint32_t flags = 0;    // IFF_*
    uint32_t mtu = 0;
    uint8_t mac[6] = {};
    bool has_mac = false;
    char name[kNameSize] = {};
    uint32_t master = 0; // kernel ifindex of the bridge, bond or VRF holding it
    uint32_t parent = 0; // IFLA_LINK: the lower device of a VLAN device
    char kind[kKindSize] = {};
    char slave_kind[kKindSize] = {};
    uint16_t vlan_id = 0; // VLAN devices
    uint32_t vrf_table = 0; // routing table of the VRF holding it
    bool vlan_filtering = false; // bridges: IFLA_BR_VLAN_FILTERING
    IfType type = IfType::other; // classified once, when the message is read

    std::string_view kind_name() const { return kind; }
    std::string_view slave_kind_name() const { return slave_kind; }
};

// The type the kernel's description of a link gives it (link.type holds it
// once the message is read).
IfType type_of(const LinkInfo &link);

// Reads an RTM_NEWLINK or RTM_DELLINK message and classifies the link.  False when it is truncated,
// its attributes do not parse, or it is about another family or no
// interface; `out` is then unspecified.
bool parse_link(const nlmsghdr *message, LinkInfo &out);

} // namespace lcache_linux
