// SPDX-License-Identifier: MIT
#include "numbering.h"

#include <linux/if_arp.h>
#include <linux/if.h>

#include <string_view>

namespace lcache_linux {
namespace {

bool any_of(std::string_view kind, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (kind == name)
            return true;
    return false;
}

} // namespace

IfType type_of(const LinkInfo &link) {
    std::string_view kind = link.kind_name();
    if (link.flags & IFF_LOOPBACK)
        return IfType::loopback;
    if (kind == "bridge")
        return IfType::bridge;
    if (kind == "vlan")
        return IfType::vlan;
    if (any_of(kind, {"bond", "team"}))
        return IfType::port_channel;
    if (any_of(kind, {"gre", "gretap", "ip6gre", "ip6gretap"}))
        return IfType::gre_tunnel;
    if (kind == "sit")
        return IfType::six_to_four;
    if (any_of(kind, {"ipip", "ip6tnl", "vti", "vti6", "vxlan", "geneve", "wireguard"}))
        return IfType::tunnel;
    if (link.arp_type == ARPHRD_ETHER)
        return IfType::ethernet;
    return IfType::other;
}

bool is_known_type(uint8_t code) {
    switch (static_cast<IfType>(code)) {
    case IfType::other:
    case IfType::loopback:
    case IfType::bridge:
    case IfType::vlan:
    case IfType::port_channel:
    case IfType::gre_tunnel:
    case IfType::ethernet:
    case IfType::six_to_four:
    case IfType::tunnel:
        return true;
    }
    return false;
}

bool is_bridge_port(const LinkInfo &link) { return link.slave_kind_name() == "bridge"; }

bool is_bond_member(const LinkInfo &link) {
    return any_of(link.slave_kind_name(), {"bond", "team"});
}

// The kernel sets IFF_LOWER_UP only while the device is up and has carrier.
bool is_linkup(const LinkInfo &link) { return link.flags & IFF_LOWER_UP; }

// Up, operational and with carrier: protocol up implies link up, as the
// platform's state records assume.
bool is_protoup(const LinkInfo &link) {
    constexpr uint32_t all = IFF_UP | IFF_RUNNING | IFF_LOWER_UP;
    return (link.flags & all) == all;
}

// lo's 65536 does not fit the 16 bits of the contract; the largest value
// that does is what a client can rely on.
uint16_t mtu16(const LinkInfo &link) { return link.mtu > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(link.mtu); }

uint16_t encap_of(const LinkInfo &link) {
    switch (classify(link)) {
    case IfType::vlan:
        return kEncapDot1q;
    case IfType::loopback:
        return kEncapLoopback;
    case IfType::gre_tunnel:
    case IfType::six_to_four:
    case IfType::tunnel:
        return kEncapTunnel;
    case IfType::other:
        return kEncapOther;
    default:
        return kEncapArpa;
    }
}

uint32_t context_of(const LinkInfo &link) {
    return link.slave_kind_name() == "vrf" ? kVrfContextBase + link.master : kDefaultContext;
}

uint32_t base_table_of(const LinkInfo &link) {
    return link.slave_kind_name() == "vrf" && link.vrf_table != 0 ? link.vrf_table : kMainTable;
}

} // namespace lcache_linux
