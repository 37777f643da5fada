// SPDX-License-Identifier: MIT
// A change to the simulated switch as plain data: what a client sends to a
// switch served in another process (sim/ipc_client.h), and what that
// process, or a client changing its own model, applies with apply_change.
#pragma once

#include <cstdint>

#include "sim/notifier.h"
#include "sim/switch.h"

namespace sim {

// What `target` and the arguments of a Change mean, per kind.  `target` is
// the interface changed (its ifindex); the adders and the VLAN changes
// leave it 0.
enum class ChangeKind : uint8_t {
    add_ethernet,           // arg1 module, arg2 port
    add_mgmt,               // arg1 number
    add_port_channel,       // arg1 number
    add_vlan_interface,     // arg1 VLAN
    add_subinterface,       // target parent, arg1 number, arg2 encapsulation VLAN
    add_loopback,           // arg1 number
    add_null0,              //
    add_tunnel,             // arg1 type code, arg2 number
    remove_interface,       // target
    set_link,               // target, arg1 up
    set_protocol,           // target, arg1 up
    set_mtu,                // target, arg1 MTU
    set_mac,                // target, mac
    set_encap,              // target, arg1 encapsulation
    set_vlan,               // target, arg1 VLAN
    set_switchport_mode,    // target, arg1 SwitchportMode
    set_switching,          // target, arg1 enabled
    set_port_mode,          // target, arg1 port mode
    set_extension,          // target, arg1 owner key, arg2 value
    set_private_data,       // target, arg1 owner key, arg2 value, arg3 size
    set_iod,                // target, arg1 iod
    set_pi,                 // target, arg1 port index
    set_lif,                // target, arg1 LIF
    add_member,             // target port-channel, arg1 port, arg2 operational
    remove_member,          // target port-channel, arg1 port
    set_member_operational, // target port-channel, arg1 port, arg2 operational
    add_vlan,               // arg1 VLAN
    set_vlan_bd,            // arg1 VLAN, arg2 bridge domain
    set_flood_index,        // arg1 bridge domain, arg2 flood index
    set_primary_vlan,       // arg1 VLAN, arg2 primary VLAN
};

inline constexpr uint8_t kChangeKindCount = static_cast<uint8_t>(ChangeKind::set_primary_vlan) + 1;

struct Change {
    ChangeKind kind = ChangeKind::set_link;
    IfIndex target = 0;
    uint32_t arg1 = 0;
    uint32_t arg2 = 0;
    uint32_t arg3 = 0;
    Mac mac{};
    bool operator==(const Change &) const = default;
};

struct Applied {
    IfIndex added = 0;  // the interface an add_* created, else 0
    Notifications sent; // what the switch tells its clients, in sending order
    bool operator==(const Applied &) const = default;
};

// Makes `change` through sim::Notifier where the switch notifies about it,
// straight through the model where it does not (those changes send
// nothing).  Throws ModelError as the model does.
Applied apply_change(Switch &model, const Change &change);

} // namespace sim
