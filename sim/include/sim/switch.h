// SPDX-License-Identifier: MIT
// The simulated switch: an in-memory model of every interface and VLAN the
// peer services would report on.  Numbering: see sim/numbering.h.
//
// Not thread-safe: one thread builds and changes the model while no peer
// call is answered from it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/interface.h"
#include "sim/key_index.h"
#include "sim/numbering.h"

namespace sim {

class Switch {
  public:
    Switch();

    // ---- Interfaces.  Each adder returns the new ifindex; every control
    // call throws ModelError on an unknown interface or a clash of keys.
    IfIndex add_ethernet(uint32_t module, uint32_t port);
    IfIndex add_mgmt(uint32_t number = 0);
    IfIndex add_port_channel(uint32_t number);
    IfIndex add_vlan_interface(uint16_t vlan);
    // `parent` is an Ethernet port or a port-channel.
    IfIndex add_subinterface(IfIndex parent, uint32_t number, uint16_t encap_vlan);
    IfIndex add_loopback(uint32_t number);
    IfIndex add_null0();
    // `type` is one of the four tunnel types; tunnel numbers are shared by
    // all of them (they are all named Tunnel<n>).
    IfIndex add_tunnel(IfType type, uint32_t number);
    // Refused for a port-channel member or an interface with
    // sub-interfaces; a removed port-channel releases its members.
    void remove_interface(IfIndex ifindex);

    // ---- Identifiers.  The "none" value (kNoIod, kNoPi, kNoLif) takes the
    // identifier away.  Only Ethernet ports hold a port index.
    void set_iod(IfIndex ifindex, uint32_t iod);
    void set_pi(IfIndex ifindex, uint32_t pi);
    void set_lif(IfIndex ifindex, uint32_t lif);

    // ---- State.
    void set_link(IfIndex ifindex, bool up);
    void set_protocol(IfIndex ifindex, bool up);
    void set_mtu(IfIndex ifindex, uint16_t mtu);
    void set_mac(IfIndex ifindex, const Mac &mac);
    void set_encap(IfIndex ifindex, uint16_t encap);
    // A switchport's access (trunk: native) VLAN, a sub-interface's
    // encapsulation VLAN.  A VLAN interface's VLAN is fixed.
    void set_vlan(IfIndex ifindex, uint16_t vlan);
    // Ethernet ports and port-channels.  A switchport switches and carries
    // VLAN information (its VLAN defaults to 1); a routed port does neither.
    void set_switchport_mode(IfIndex ifindex, SwitchportMode mode);
    void set_switching(IfIndex ifindex, bool enabled);
    void set_port_mode(IfIndex ifindex, uint32_t port_mode);
    // Moves the interface to `context` and that context's base table.
    void set_routing_context(IfIndex ifindex, uint32_t context);
    void set_private_data(IfIndex ifindex, uint32_t key, PrivateData data);
    void clear_private_data(IfIndex ifindex, uint32_t key);
    // Value 0 means "no extension" and clears the key.
    void set_extension(IfIndex ifindex, uint32_t key, uint32_t value);

    // ---- Port-channel membership.  A member is an Ethernet port of at most
    // one port-channel; the first operational member is the operational
    // member with the lowest ifindex.
    void add_member(IfIndex channel, IfIndex port, bool operational = true);
    void remove_member(IfIndex channel, IfIndex port);
    void set_member_operational(IfIndex channel, IfIndex port, bool operational);
    std::vector<IfIndex> operational_members(IfIndex channel) const;
    IfIndex first_operational_member(IfIndex channel) const; // 0 = none

    // ---- VLANs (1-4094).  A new VLAN gets bridge domain = its number when
    // that is free, that bridge domain's default flood index, and is its
    // own primary.  Bridge domains are unique among VLANs.
    void add_vlan(uint16_t vlan);
    // Refused while the VLAN is the primary of another.
    void remove_vlan(uint16_t vlan);
    // The VLAN takes the new bridge domain's default flood index.
    void set_vlan_bd(uint16_t vlan, uint16_t bd);
    void set_flood_index(uint16_t bd, uint32_t flood_index);
    // `primary` == `vlan` makes the VLAN an ordinary one again.  A primary
    // is an existing VLAN that is not itself a secondary.
    void set_primary_vlan(uint16_t vlan, uint16_t primary);

    void set_slice(uint16_t slice) { slice_ = slice; }
    uint16_t slice() const { return slice_; }
    const Mac &system_mac() const { return system_mac_; }

    // ---- Lookups (nullptr = none).
    const Interface *find(IfIndex ifindex) const;
    const Interface *find_by_iod(uint32_t iod) const;
    const Interface *find_by_pi(uint32_t pi) const;
    const Interface *find_by_lif(uint32_t lif) const;
    const Interface *find_by_name(std::string_view name) const;
    const Interface &at(IfIndex ifindex) const; // throws ModelError
    const std::map<IfIndex, Interface> &interfaces() const { return interfaces_; }

    const Vlan *find_vlan(uint16_t vlan) const;
    const Vlan *find_vlan_by_bd(uint16_t bd) const;
    const std::map<uint16_t, Vlan> &vlans() const { return vlans_; }

  private:
    Interface &edit(IfIndex ifindex);
    Vlan &edit_vlan(uint16_t vlan);
    template <class Key>
    const Interface *find_key(const KeyIndex<Key, IfIndex> &index, const Key &key) const;
    // Registers a new interface under its ifindex and name, with a fresh
    // iod (and the pi / LIF its kind calls for).
    IfIndex insert(Interface interface, bool has_pi, bool has_lif);
    // Adds a mgmt port, port-channel, VLAN interface, loopback or tunnel,
    // each named and numbered alike.
    IfIndex add_numbered(IfType type, uint32_t number);
    Mac next_mac();
    void remap(KeyIndex<uint32_t, IfIndex> &index, uint32_t &field, uint32_t none, IfIndex owner,
               uint32_t key);
    Member &member_of(IfIndex channel, IfIndex port);

    std::map<IfIndex, Interface> interfaces_;
    KeyIndex<uint32_t, IfIndex> iods_{"iod"};
    KeyIndex<uint32_t, IfIndex> pis_{"port index"};
    KeyIndex<uint32_t, IfIndex> lifs_{"LIF"};
    KeyIndex<std::string, IfIndex> names_{"interface name"};
    uint32_t next_iod_ = kFirstIod;
    uint32_t next_pi_ = kFirstPi;
    uint32_t next_lif_ = kFirstLif;
    uint32_t next_subif_ = 1;
    uint32_t next_mac_ = 1;

    std::map<uint16_t, Vlan> vlans_;
    KeyIndex<uint16_t, uint16_t> bds_{"bridge domain"};
    uint16_t next_bd_ = 1;

    uint16_t slice_ = 1;
    Mac system_mac_;
};

} // namespace sim
