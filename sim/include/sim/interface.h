// SPDX-License-Identifier: MIT
// What the simulated switch knows about one interface and one VLAN: plain
// records, read freely, changed only through sim::Switch so its indexes
// stay consistent.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/types.h"

namespace sim {

struct PrivateData {
    uint32_t value = 0;
    uint32_t size = 0;
    bool operator==(const PrivateData &) const = default;
};

// A switchport's VLAN: the access VLAN (trunk: the native VLAN) and the
// mode word netif_get_vlan_info answers.  Invalid on every other interface.
struct VlanInfo {
    bool valid = false;
    uint32_t vlan = 0;
    uint32_t mode = 0;
};

struct Member {
    IfIndex ifindex = 0;
    bool operational = false;
};

struct Interface {
    IfIndex ifindex = 0;
    IfType type = IfType::ethernet;
    std::string name;
    uint32_t iod = kNoIod;
    uint32_t pi = kNoPi;
    uint32_t lif = kNoLif;

    Mac mac{};
    uint16_t encap = 0;
    uint16_t mtu = 0;
    uint16_t vlan_id = 0; // VLAN interface: its VLAN; sub-interface: encapsulation VLAN
    VlanInfo vlan_info;
    uint32_t port_mode = kPortModeNormal;

    bool switchport = false;
    bool switching = false;
    bool linkup = true;
    bool protoup = true;
    // Fixed by the kind of interface.
    bool ethernet = false;
    bool is_vlan = false;
    bool loopback = false;
    bool native_p2p = false;
    bool null0 = false;

    uint32_t context = 0;
    uint32_t base_table = 0;

    IfIndex parent = 0;          // sub-interfaces: the interface they subdivide
    IfIndex bundle = 0;          // Ethernet ports: the port-channel they are a member of
    std::vector<Member> members; // port-channels: sorted by ifindex

    std::map<uint32_t, PrivateData> private_data; // by owner key
    std::map<uint32_t, uint32_t> extensions;      // by owner key; never holds 0
};

struct Vlan {
    uint16_t id = 0;
    uint16_t bd = 0;
    uint32_t flood_index = 0;
    uint16_t primary = 0; // itself unless the VLAN is a private-VLAN secondary
};

} // namespace sim
