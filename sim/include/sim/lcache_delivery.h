// SPDX-License-Identifier: MIT
// Hands the simulation's notifications (sim/notifier.h) to liblcache: each
// one encoded in the cache's change record and passed to the lcache_update_*
// entry point a client's notification handler calls.  Header-only: libsim
// does not link liblcache, the programs that include this do.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "lcache.h"
#include "lcache_records.h"
#include "platform_util.h"
#include "sim/notifier.h"

namespace sim {

// A notification's state byte is sent as it is, named code or not.
inline lcache_state_msg_t to_record(const PhyState &n) {
    return lcache_records::phy_record(n.ifindex, n.iod, lcache_records::PhyCode{n.state});
}

inline lcache_state_msg_t to_record(const L3Param &n) {
    return lcache_records::l3_param_record(n.ifindex, n.iod);
}

inline lcache_l2_msg_t to_record(const L2State &n) {
    using lcache_records::VlanField;
    return lcache_records::l2_record(n.ifindex, n.iod, lcache_records::L2Code{n.state}, n.mac,
                                     n.mtu, n.native_vlan ? VlanField::a : VlanField::b, n.vlan);
}

inline lcache_l3_msg_t to_record(const L3State &n) {
    return lcache_records::l3_record(n.ifindex, n.iod, lcache_records::L3Code{n.state}, n.mtu);
}

inline lcache_agg_fop_msg_t to_record(const FirstOperationalMember &n) {
    return lcache_records::fop_record(n.channel, n.old_member, n.new_member);
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
        bitset_set_bit(changes, LCACHE_L3_PARAM_MTU);
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

// What the switch sent about one change, in order, as one operation of the
// cache: an entry the notifications change gives a watcher one event, not
// one per notification.  The results in the same order.
inline std::vector<int32_t> deliver_all(const Notifications &sent) {
    std::vector<int32_t> results;
    results.reserve(sent.size());
    lcache_watch_begin();
    for (const Notification &n : sent)
        results.push_back(deliver(n));
    lcache_watch_end();
    return results;
}

} // namespace sim
