// SPDX-License-Identifier: MIT
// The VLAN table: bridge domains, flood indexes, private-VLAN primaries.
#include <algorithm>
#include <string>

#include "map_entry.h"
#include "sim/numbering.h"
#include "sim/switch.h"

namespace sim {
namespace {

void check_vlan_range(uint16_t vlan) {
    if (vlan < 1 || vlan > 4094)
        throw ModelError("VLAN " + std::to_string(vlan) + " is out of range 1-4094");
}

ModelError unknown_vlan(uint16_t vlan) {
    return ModelError("VLAN " + std::to_string(vlan) + " does not exist");
}

bool has_secondaries(const std::map<uint16_t, Vlan> &vlans, uint16_t primary) {
    return std::ranges::any_of(vlans, [&](const auto &entry) {
        return entry.second.primary == primary && entry.second.id != primary;
    });
}

} // namespace

void Switch::add_vlan(uint16_t vlan) {
    check_vlan_range(vlan);
    if (vlans_.contains(vlan))
        throw ModelError("VLAN " + std::to_string(vlan) + " already exists");
    const uint16_t bd = bds_.find(vlan) ? bds_.next_free(next_bd_) : vlan;
    bds_.claim(bd, vlan);
    vlans_.emplace(vlan, Vlan{vlan, bd, default_flood_index(bd), vlan});
}

void Switch::remove_vlan(uint16_t vlan) {
    const Vlan &entry = edit_vlan(vlan);
    if (has_secondaries(vlans_, vlan))
        throw ModelError("VLAN " + std::to_string(vlan) + " is the primary of other VLANs");
    bds_.release(entry.bd);
    vlans_.erase(vlan);
}

void Switch::set_vlan_bd(uint16_t vlan, uint16_t bd) {
    Vlan &entry = edit_vlan(vlan);
    if (bd == 0)
        throw ModelError("bridge domain 0 does not exist");
    bds_.claim(bd, vlan);
    if (entry.bd != bd)
        bds_.release(entry.bd);
    entry.bd = bd;
    entry.flood_index = default_flood_index(bd);
}

void Switch::set_flood_index(uint16_t bd, uint32_t flood_index) {
    auto vlan = bds_.find(bd);
    if (!vlan)
        throw ModelError("no VLAN uses bridge domain " + std::to_string(bd));
    edit_vlan(*vlan).flood_index = flood_index;
}

void Switch::set_primary_vlan(uint16_t vlan, uint16_t primary) {
    Vlan &entry = edit_vlan(vlan);
    if (primary == vlan) {
        entry.primary = vlan;
        return;
    }
    const Vlan *target = find_vlan(primary);
    if (!target)
        throw unknown_vlan(primary);
    if (target->primary != primary)
        throw ModelError("VLAN " + std::to_string(primary) + " is itself a secondary");
    if (has_secondaries(vlans_, vlan))
        throw ModelError("VLAN " + std::to_string(vlan) + " is the primary of other VLANs");
    entry.primary = primary;
}

const Vlan *Switch::find_vlan(uint16_t vlan) const { return find_entry(vlans_, vlan); }

const Vlan *Switch::find_vlan_by_bd(uint16_t bd) const {
    auto vlan = bds_.find(bd);
    return vlan ? find_vlan(*vlan) : nullptr;
}

Vlan &Switch::edit_vlan(uint16_t vlan) { return existing_entry(vlans_, vlan, unknown_vlan); }

} // namespace sim
