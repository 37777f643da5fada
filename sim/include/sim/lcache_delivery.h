// Hands the simulation's notifications (sim/notifier.h) to liblcache: each
// one encoded in the cache's change record and passed to the lcache_update_*
// entry point a client's notification handler calls.  Header-only: libsim
// does not link liblcache, the programs that include this do.
#pragma once

#include <cstdint>
#include <cstring>
#include <variant>
#include <vector>

#include "lcache.h"
#include "platform_util.h"
#include "sim/notifier.h"

namespace sim {

// The simulation names the states itself, without the cache's header; here,
// where the two meet, they must be the cache's own codes.
static_assert(kPhyGone == LCACHE_PHY_GONE && kPhyUp != LCACHE_PHY_GONE);
static_assert(kL2Routed == LCACHE_L2_NO_VLAN && kL2Bridged != LCACHE_L2_NO_VLAN);
static_assert(kL3Up == LCACHE_L3_UP && kL3Down != LCACHE_L3_UP);
static_assert(kL3BundleLinkOnly == LCACHE_L3_BUNDLE_LINK_ONLY);
static_assert(kL3ParamMtu == LCACHE_L3_PARAM_MTU);

// The first-operational-member record travels in network byte order.
inline void store_be32(uint32_t &field, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    memcpy(&field, bytes, sizeof bytes);
}

// A record of the interface `n` names, and its state where `n` has one.
template <class Record, class N> Record addressed(const N &n) {
    Record r{};
    r.if_index = n.ifindex;
    r.iod = n.iod;
    if constexpr (requires { n.state; })
        r.state = n.state;
    return r;
}

inline lcache_state_msg_t to_record(const PhyState &n) { return addressed<lcache_state_msg_t>(n); }
inline lcache_state_msg_t to_record(const L3Param &n) { return addressed<lcache_state_msg_t>(n); }

inline lcache_l2_msg_t to_record(const L2State &n) {
    lcache_l2_msg_t r = addressed<lcache_l2_msg_t>(n);
    memcpy(r.mac, n.mac.data(), sizeof r.mac);
    r.mtu = n.mtu;
    if (n.native_vlan) {
        r.mode_flags = LCACHE_L2_VLAN_A;
        r.vlan_a = n.vlan;
    } else {
        r.vlan_b = n.vlan;
    }
    return r;
}

inline lcache_l3_msg_t to_record(const L3State &n) {
    lcache_l3_msg_t r = addressed<lcache_l3_msg_t>(n);
    r.mtu = n.mtu;
    return r;
}

inline lcache_agg_fop_msg_t to_record(const FirstOperationalMember &n) {
    lcache_agg_fop_msg_t r{};
    store_be32(r.if_index, n.channel);
    store_be32(r.old_fop, n.old_member);
    store_be32(r.new_fop, n.new_member);
    return r;
}

// Encodes `n` and hands its record to `update`.  The record is not const:
// lcache_update_l3_state takes it so.
template <class N, class Update> int32_t pass_record(const N &n, Update update) {
    auto r = to_record(n);
    return update(&r);
}

// Each returns the entry point's result.
inline int32_t deliver(const PhyState &n) { return pass_record(n, lcache_update_phy_state); }

inline int32_t deliver(const L2State &n) {
    return pass_record(n, n.bundle ? lcache_update_l2_bundle_state : lcache_update_l2_state);
}

// The two entry points differ in the record's constness, so no one pointer
// holds both.
inline int32_t deliver(const L3State &n) {
    return n.bundle ? pass_record(n, lcache_update_l3_bundle_state)
                    : pass_record(n, lcache_update_l3_state);
}

inline int32_t deliver(const L3Param &n) {
    uint32_t changes[1] = {};
    if (n.mtu_changed)
        bitset_set_bit(changes, kL3ParamMtu);
    return pass_record(
        n, [&](const lcache_state_msg_t *r) { return lcache_update_l3_param(r, changes); });
}

inline int32_t deliver(const FirstOperationalMember &n) {
    return pass_record(n, lcache_update_agg_fop);
}

inline int32_t deliver(const SwitchportChange &n) { return lcache_update_switchport(n.iod); }
inline int32_t deliver(const VlanChange &n) { return lcache_update_vlan(n.iod); }

inline int32_t deliver(const Notification &n) {
    return std::visit([](const auto &one) { return deliver(one); }, n);
}

// In order; the results in the same order.
inline std::vector<int32_t> deliver_all(const Notifications &sent) {
    std::vector<int32_t> results;
    results.reserve(sent.size());
    for (const Notification &n : sent)
        results.push_back(deliver(n));
    return results;
}

} // namespace sim
