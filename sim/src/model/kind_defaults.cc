// SPDX-License-Identifier: MIT
#include "kind_defaults.h"

#include <utility>

#include "sim/numbering.h"

namespace sim {
namespace {

uint16_t default_mtu(IfType type) {
    switch (type) {
    case IfType::gre_tunnel:
    case IfType::stretch_tunnel: return 1476;     // room for the outer IPv4 and GRE headers
    case IfType::six_to_four_tunnel: return 1480; // room for the outer IPv4 header
    default: return 1500;
    }
}

uint16_t default_encap(IfType type) {
    switch (type) {
    case IfType::subif: return kEncapDot1q;
    case IfType::loopback: return kEncapLoopback;
    case IfType::null0: return kEncapNull;
    default: return is_tunnel(type) ? kEncapTunnel : kEncapArpa;
    }
}

} // namespace

Interface new_interface(IfType type, IfIndex ifindex, std::string name) {
    Interface itf;
    itf.ifindex = ifindex;
    itf.type = type;
    itf.name = std::move(name);
    itf.encap = default_encap(type);
    itf.mtu = default_mtu(type);
    itf.ethernet =
        type == IfType::ethernet || type == IfType::mgmt_ether || type == IfType::port_channel;
    // A dot1q sub-interface is a VLAN interface too: it has a VLAN id and a parent.
    itf.is_vlan = type == IfType::vlan_if || type == IfType::subif;
    itf.switching = type == IfType::vlan_if; // it bridges into its VLAN
    itf.loopback = type == IfType::loopback;
    itf.native_p2p = is_tunnel(type);
    itf.null0 = type == IfType::null0;
    itf.context = type == IfType::mgmt_ether ? kManagementContext : kDefaultContext;
    itf.base_table = base_table_id(itf.context);
    return itf;
}

} // namespace sim
