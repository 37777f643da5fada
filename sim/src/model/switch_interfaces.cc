// SPDX-License-Identifier: MIT
// Creating, removing, finding and renumbering interfaces.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "kind_defaults.h"
#include "map_entry.h"
#include "sim/switch.h"

namespace sim {
namespace {

void check_range(const char *what, uint32_t value, uint32_t low, uint32_t high) {
    if (value < low || value > high)
        throw ModelError(std::string(what) + " " + std::to_string(value) + " is out of range " +
                         std::to_string(low) + "-" + std::to_string(high));
}

ModelError unknown_interface(IfIndex ifindex) {
    char text[16];
    std::snprintf(text, sizeof text, "%#x", ifindex);
    return ModelError(std::string("no interface with ifindex ") + text);
}

// Where a numbered interface's MAC address comes from.
enum class MacSource { none, next_in_block, system };

// The kinds named after a number that their ifindex carries as well.
struct NumberedKind {
    const char *what;   // the number, as a range error names it
    const char *prefix; // of the name
    uint32_t low;
    uint32_t high;
    MacSource mac;
    bool has_lif;
};

NumberedKind numbered_kind(IfType type) {
    using enum MacSource;
    switch (type) {
    case IfType::mgmt_ether: return {"management port", "mgmt", 0, 255, next_in_block, false};
    case IfType::port_channel: return {"port-channel", "port-channel", 1, 4096, next_in_block, true};
    // Routed VLANs answer with the switch's own address.
    case IfType::vlan_if: return {"VLAN", "Vlan", 1, 4094, system, true};
    case IfType::loopback: return {"loopback", "loopback", 0, 0xFFFFFF, none, false};
    // The four tunnel types share one name space.
    default: return {"tunnel", "Tunnel", 0, 0xFFFFFF, none, true};
    }
}

} // namespace

// Locally administered, so it never clashes with a real vendor's block.
Switch::Switch() : system_mac_{0x02, 0x53, 0x49, 0x4D, 0x00, 0x00} {}

Mac Switch::next_mac() {
    Mac mac = system_mac_;
    const uint32_t n = next_mac_++;
    mac[3] = static_cast<uint8_t>(mac[3] + (n >> 16));
    mac[4] = static_cast<uint8_t>(n >> 8);
    mac[5] = static_cast<uint8_t>(n);
    return mac;
}

IfIndex Switch::insert(Interface itf, bool has_pi, bool has_lif) {
    if (interfaces_.contains(itf.ifindex))
        throw ModelError(itf.name + " already exists");
    names_.check_free(itf.name, itf.ifindex);
    itf.iod = iods_.next_free(next_iod_);
    iods_.claim(itf.iod, itf.ifindex);
    if (has_pi) {
        itf.pi = pis_.next_free(next_pi_);
        pis_.claim(itf.pi, itf.ifindex);
    }
    if (has_lif) {
        itf.lif = lifs_.next_free(next_lif_);
        lifs_.claim(itf.lif, itf.ifindex);
    }
    names_.claim(itf.name, itf.ifindex);
    const IfIndex ifindex = itf.ifindex;
    interfaces_.emplace(ifindex, std::move(itf));
    return ifindex;
}

IfIndex Switch::add_ethernet(uint32_t module, uint32_t port) {
    check_range("module", module, 1, 255);
    check_range("port", port, 1, 4095);
    const std::string name = "Ethernet" + std::to_string(module) + "/" + std::to_string(port);
    Interface itf = new_interface(IfType::ethernet, ethernet_ifindex(module, port), name);
    itf.mac = next_mac();
    return insert(std::move(itf), true, true);
}

IfIndex Switch::add_numbered(IfType type, uint32_t number) {
    const NumberedKind kind = numbered_kind(type);
    check_range(kind.what, number, kind.low, kind.high);
    Interface itf =
        new_interface(type, make_ifindex(type, number), kind.prefix + std::to_string(number));
    if (kind.mac == MacSource::next_in_block)
        itf.mac = next_mac();
    else if (kind.mac == MacSource::system)
        itf.mac = system_mac_;
    return insert(std::move(itf), false, kind.has_lif);
}

IfIndex Switch::add_mgmt(uint32_t number) { return add_numbered(IfType::mgmt_ether, number); }

IfIndex Switch::add_port_channel(uint32_t number) {
    return add_numbered(IfType::port_channel, number);
}

IfIndex Switch::add_vlan_interface(uint16_t vlan) {
    const IfIndex ifindex = add_numbered(IfType::vlan_if, vlan);
    edit(ifindex).vlan_id = vlan;
    return ifindex;
}

IfIndex Switch::add_subinterface(IfIndex parent, uint32_t number, uint16_t encap_vlan) {
    const Interface &up = at(parent);
    if (up.type != IfType::ethernet && up.type != IfType::port_channel)
        throw ModelError(up.name + " cannot have sub-interfaces");
    check_range("sub-interface", number, 1, 0xFFFFFF);
    check_range("encapsulation VLAN", encap_vlan, 1, 4094);
    if (next_subif_ >= kSubifSerialLimit)
        throw ModelError("sub-interface numbers are exhausted");
    Interface itf = new_interface(IfType::subif, make_ifindex(IfType::subif, next_subif_),
                                  up.name + "." + std::to_string(number));
    itf.mac = up.mac;
    itf.parent = parent;
    itf.vlan_id = encap_vlan;
    const IfIndex ifindex = insert(std::move(itf), false, true);
    ++next_subif_;
    return ifindex;
}

IfIndex Switch::add_loopback(uint32_t number) { return add_numbered(IfType::loopback, number); }

IfIndex Switch::add_null0() {
    return insert(new_interface(IfType::null0, make_ifindex(IfType::null0, 0), "Null0"), false,
                  false);
}

IfIndex Switch::add_tunnel(IfType type, uint32_t number) {
    if (!is_tunnel(type))
        throw ModelError("type " + std::to_string(type_code(type)) + " is not a tunnel");
    return add_numbered(type, number);
}

void Switch::remove_interface(IfIndex ifindex) {
    const Interface &itf = at(ifindex);
    if (itf.bundle != 0)
        throw ModelError(itf.name + " is a member of " + at(itf.bundle).name);
    const bool has_subifs = std::ranges::any_of(
        interfaces_, [&](const auto &entry) { return entry.second.parent == ifindex; });
    if (has_subifs)
        throw ModelError(itf.name + " still has sub-interfaces");
    for (const Member &member : itf.members)
        edit(member.ifindex).bundle = 0;
    names_.release(itf.name);
    iods_.release(itf.iod);
    pis_.release(itf.pi);
    lifs_.release(itf.lif);
    interfaces_.erase(ifindex);
}

void Switch::remap(KeyIndex<uint32_t, IfIndex> &index, uint32_t &field, uint32_t none,
                   IfIndex owner, uint32_t key) {
    if (key != none)
        index.claim(key, owner);
    if (field != none && field != key)
        index.release(field);
    field = key;
}

void Switch::set_iod(IfIndex ifindex, uint32_t iod) {
    remap(iods_, edit(ifindex).iod, kNoIod, ifindex, iod);
}

void Switch::set_pi(IfIndex ifindex, uint32_t pi) {
    Interface &itf = edit(ifindex);
    if (itf.type != IfType::ethernet)
        throw ModelError(itf.name + " is not an Ethernet port and has no port index");
    remap(pis_, itf.pi, kNoPi, ifindex, pi);
}

void Switch::set_lif(IfIndex ifindex, uint32_t lif) {
    remap(lifs_, edit(ifindex).lif, kNoLif, ifindex, lif);
}

const Interface *Switch::find(IfIndex ifindex) const { return find_entry(interfaces_, ifindex); }

template <class Key>
const Interface *Switch::find_key(const KeyIndex<Key, IfIndex> &index, const Key &key) const {
    auto owner = index.find(key);
    return owner ? find(*owner) : nullptr;
}

const Interface *Switch::find_by_iod(uint32_t iod) const { return find_key(iods_, iod); }
const Interface *Switch::find_by_pi(uint32_t pi) const { return find_key(pis_, pi); }
const Interface *Switch::find_by_lif(uint32_t lif) const { return find_key(lifs_, lif); }

const Interface *Switch::find_by_name(std::string_view name) const {
    return find_key(names_, std::string(name));
}

const Interface &Switch::at(IfIndex ifindex) const {
    return existing_entry(interfaces_, ifindex, unknown_interface);
}

Interface &Switch::edit(IfIndex ifindex) {
    return existing_entry(interfaces_, ifindex, unknown_interface);
}

} // namespace sim
