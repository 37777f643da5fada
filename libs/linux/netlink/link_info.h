// One interface as an RTM_NEWLINK message describes it: the facts the peers
// answer from, read out of the kernel's answer or notification.
#pragma once

#include <linux/netlink.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lcache_linux {

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

    std::string_view kind_name() const { return kind; }
    std::string_view slave_kind_name() const { return slave_kind; }
};

// Reads an RTM_NEWLINK or RTM_DELLINK message.  False when it is truncated,
// its attributes do not parse, or it is about another family or no
// interface; `out` is then unspecified.
bool parse_link(const nlmsghdr *message, LinkInfo &out);

} // namespace lcache_linux
