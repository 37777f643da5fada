// SPDX-License-Identifier: MIT
// The operating system's side of the cache's change notifications.  A
// Notifier changes the model through sim::Switch and answers with the
// notifications a real switch sends about that change, in sending order: a
// cache that is handed all of them agrees with the model afterwards.
//
// The notifications are plain data; their states are the codes of the
// cache's change records (lcache_record_codes.h), a byte, so that any code
// can be sent.  sim/lcache_delivery.h encodes them in the cache's change
// records and hands them to its lcache_update_* entry points (the
// simulation itself does not link the cache).
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "lcache_record_codes.h"
#include "sim/switch.h"

namespace sim {

struct PhyState {
    IfIndex ifindex = 0;
    uint32_t iod = kNoIod;
    uint8_t state = lcache_records::kPhyUp;
    bool operator==(const PhyState &) const = default;
};

// From the interface manager, or (bundle) from the port-channel manager.
// A bridged interface (a switchport or a VLAN interface) says kL2Vlan and
// gives its VLAN; a routed one says kL2NoVlan.
struct L2State {
    bool bundle = false;
    IfIndex ifindex = 0;
    uint32_t iod = kNoIod;
    uint8_t state = lcache_records::kL2NoVlan;
    bool native_vlan = false; // a trunk's native VLAN rather than an access VLAN
    Mac mac{};
    uint32_t mtu = 0;
    uint32_t vlan = 0;
    bool operator==(const L2State &) const = default;
};

struct L3State {
    bool bundle = false;
    IfIndex ifindex = 0;
    uint32_t iod = kNoIod;
    uint8_t state = lcache_records::kL3Down;
    uint32_t mtu = 0;
    bool operator==(const L3State &) const = default;
};

struct L3Param {
    IfIndex ifindex = 0;
    uint32_t iod = kNoIod;
    bool mtu_changed = false;
    bool operator==(const L3Param &) const = default;
};

// 0 as a member: there was none / there is none now.
struct FirstOperationalMember {
    IfIndex channel = 0;
    IfIndex old_member = 0;
    IfIndex new_member = 0;
    bool operator==(const FirstOperationalMember &) const = default;
};

struct SwitchportChange {
    uint32_t iod = kNoIod;
    bool operator==(const SwitchportChange &) const = default;
};

struct VlanChange {
    uint32_t iod = kNoIod;
    bool operator==(const VlanChange &) const = default;
};

using Notification = std::variant<PhyState, L2State, L3State, L3Param, FirstOperationalMember,
                                  SwitchportChange, VlanChange>;
using Notifications = std::vector<Notification>;

// One interface as the model has it now.  A port-channel's L2 and L3
// states are the port-channel manager's (bundle set).
L2State l2_state(const Interface &itf);
L3State l3_state(const Interface &itf);

class Notifier {
  public:
    explicit Notifier(Switch &model) : model_(model) {}

    // Each changes the model like the Switch call of the same name and
    // returns what is sent about it; ModelError leaves both untouched.
    Notifications set_link(IfIndex ifindex, bool up);
    Notifications set_protocol(IfIndex ifindex, bool up);
    Notifications set_mtu(IfIndex ifindex, uint16_t mtu);
    Notifications set_mac(IfIndex ifindex, const Mac &mac);
    Notifications set_vlan(IfIndex ifindex, uint16_t vlan);
    Notifications set_switchport_mode(IfIndex ifindex, SwitchportMode mode);
    Notifications add_member(IfIndex channel, IfIndex port, bool operational = true);
    Notifications remove_member(IfIndex channel, IfIndex port);
    Notifications set_member_operational(IfIndex channel, IfIndex port, bool operational);
    Notifications remove_interface(IfIndex ifindex);

    // What is sent about an interface that one of Switch's adders has just
    // created.
    Notifications added(IfIndex ifindex) const;

  private:
    // The states after a link or protocol change, in the order that leaves
    // the freshest answer last.
    Notifications link_and_protocol(const Interface &itf) const;
    // Runs `change` on a port-channel and reports a new first operational
    // member.
    template <class Change> Notifications membership(IfIndex channel, Change change);

    Switch &model_;
};

} // namespace sim
