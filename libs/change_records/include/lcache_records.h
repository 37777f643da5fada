// SPDX-License-Identifier: MIT
// The cache's change records built from plain values: the one encoding the
// simulated switch and the Linux notification bridge share.  Each builder
// fills the fields the cache reads and leaves the rest zero.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "lcache.h"
#include "lcache_record_codes.h"

namespace lcache_records {

// The codes the cache names are its own; the others only have to differ
// from every code that means something else.
static_assert(kPhyGone == LCACHE_PHY_GONE && kPhyUp != LCACHE_PHY_GONE);
static_assert(kL2NoVlan == LCACHE_L2_NO_VLAN && kL2Vlan != LCACHE_L2_NO_VLAN);
static_assert(kL3Up == LCACHE_L3_UP && kL3BundleLinkOnly == LCACHE_L3_BUNDLE_LINK_ONLY);
static_assert(kL3Down != LCACHE_L3_UP && kL3Down != LCACHE_L3_BUNDLE_LINK_ONLY);

// `value` as a field that holds it in network byte order, on any host.
constexpr uint32_t network_order(uint32_t value) {
    return std::bit_cast<uint32_t>(
        std::array<uint8_t, 4>{static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                               static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

constexpr lcache_state_msg_t phy_record(uint32_t if_index, uint32_t iod, PhyCode state) {
    lcache_state_msg_t r{};
    r.if_index = if_index;
    r.iod = iod;
    r.state = state;
    return r;
}

// What changed travels beside it, in lcache_update_l3_param's bitset.
constexpr lcache_state_msg_t l3_param_record(uint32_t if_index, uint32_t iod) {
    lcache_state_msg_t r{};
    r.if_index = if_index;
    r.iod = iod;
    return r;
}

// Which of the L2 record's two VLAN fields carries the VLAN: vlan_a, which
// the mode flag LCACHE_L2_VLAN_A points to, or vlan_b.
enum class VlanField : uint8_t { a, b };

// The VLAN fields stay zero unless `state` says they are meant.
constexpr lcache_l2_msg_t l2_record(uint32_t if_index, uint32_t iod, L2Code state,
                                    std::span<const uint8_t, 6> mac, uint32_t mtu, VlanField field,
                                    uint32_t vlan) {
    lcache_l2_msg_t r{};
    r.if_index = if_index;
    r.iod = iod;
    r.state = state;
    for (size_t i = 0; i < mac.size(); ++i)
        r.mac[i] = mac[i];
    r.mtu = mtu;
    if (state == kL2NoVlan)
        return r;
    if (field == VlanField::a) {
        r.mode_flags = LCACHE_L2_VLAN_A;
        r.vlan_a = vlan;
    } else {
        r.vlan_b = vlan;
    }
    return r;
}

constexpr lcache_l3_msg_t l3_record(uint32_t if_index, uint32_t iod, L3Code state, uint32_t mtu) {
    lcache_l3_msg_t r{};
    r.if_index = if_index;
    r.iod = iod;
    r.state = state;
    r.mtu = mtu;
    return r;
}

// A member of 0: there was none, or there is none now.
constexpr lcache_agg_fop_msg_t fop_record(uint32_t channel, uint32_t old_member,
                                          uint32_t new_member) {
    lcache_agg_fop_msg_t r{};
    r.if_index = network_order(channel);
    r.old_fop = network_order(old_member);
    r.new_fop = network_order(new_member);
    return r;
}

} // namespace lcache_records
