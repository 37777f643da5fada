// SPDX-License-Identifier: MIT
// Bundle (port-channel), first-operational-member, switchport and VLAN
// change notifications.
#include "lcache_create.h"
#include "lcache_destroy.h"
#include "lcache_notify.h"
#include "lcache_query.h"
#include "lcache_refresh.h"

namespace lc {

namespace {

// The first-operational-member record travels in network byte order.
uint32_t be32_at(const lcache_agg_fop_msg_t *msg, size_t offset) {
    unsigned char b[4];
    memcpy(b, reinterpret_cast<const unsigned char *>(msg) + offset, sizeof b);
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
           static_cast<uint32_t>(b[2]) << 8 | static_cast<uint32_t>(b[3]);
}

// The bundle's first operational member is known fresh.
void store_fop(lcache_if_entry_t &entry, uint32_t fop) {
    count_update(kAggIf);
    store_fresh(entry, kAggIf, fop);
}

} // namespace

} // namespace lc

extern "C" {

int32_t lcache_update_l2_bundle_state(const lcache_l2_msg_t *record) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !record)
        return LCACHE_NOTIFY_IGNORED;
    const lcache_l2_msg_t msg = lc::read_l2_record(record);
    ++lcache.stats.upd_l2_bundle;
    LC_TRACE("L2 bundle phy state update for interface %s (iod %d)\n", netif_get_if_name(msg.iod),
             msg.iod);
    lcache_if_entry_t *entry = lc::notified_entry(msg.iod);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    lc::refetch_notified(*entry, lc::kLinkup);
    lc::refetch_notified(*entry, lc::kProtoup);
    lc::store_l2_record(*entry, msg);
    return LCACHE_NOTIFY_APPLIED;
}

// The record's state is the whole answer: no peer is asked.
int32_t lcache_update_l3_bundle_state(const lcache_l3_msg_t *record) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !record)
        return LCACHE_NOTIFY_IGNORED;
    using M = lcache_l3_msg_t;
    const M msg = lc::read_fields(record, &M::iod, &M::state, &M::mtu);
    ++lcache.stats.upd_l3_bundle;
    LC_TRACE("L3 bundle phy state update for interface %s (iod %d)\n", netif_get_if_name(msg.iod),
             msg.iod);
    lcache_if_entry_t *entry = lc::notified_entry(msg.iod);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    lc::store_fresh(*entry, lc::kLinkup,
                    msg.state == LCACHE_L3_UP || msg.state == LCACHE_L3_BUNDLE_LINK_ONLY);
    lc::count_update(lc::kLinkup);
    lc::store_fresh(*entry, lc::kProtoup, msg.state == LCACHE_L3_UP);
    lc::count_update(lc::kProtoup);
    lc::store_notified(*entry, lc::kMtu, msg.mtu);
    return LCACHE_NOTIFY_APPLIED;
}

int32_t lcache_update_agg_fop(const lcache_agg_fop_msg_t *msg) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !msg)
        return LCACHE_NOTIFY_IGNORED;
    ++lcache.stats.upd_agg_fop;
    const uint32_t if_index = lc::be32_at(msg, offsetof(lcache_agg_fop_msg_t, if_index));
    const uint32_t old_fop = lc::be32_at(msg, offsetof(lcache_agg_fop_msg_t, old_fop));
    const uint32_t new_fop = lc::be32_at(msg, offsetof(lcache_agg_fop_msg_t, new_fop));
    static char name[255];
    netif_get_ifindex_name(if_index, name, sizeof name);
    LC_TRACE("AGG First-Op-member for interface %s (if 0x%x) From 0x%x to 0x%x\n", name, if_index,
             old_fop, new_fop);

    if (lcache_if_entry_t *entry = lc::lookup(lc::kIfTable, if_index)) {
        if (new_fop == 0) {
            LC_TRACE("AGG lcache entry removed for interface %s (if 0x%x) during change from 0x%x "
                     "to 0x%x\n",
                     name, if_index, old_fop, 0u);
            lc::remove_entry_by_if(if_index);
            return LCACHE_NOTIFY_APPLIED;
        }
        // A bundle's pi and lif are its first operational member's.
        lc::redo_hardware_keys(*entry);
        lc::store_fop(*entry, new_fop);
        lc::refresh_entry(entry, 0);
        return LCACHE_NOTIFY_APPLIED;
    }
    if (old_fop != 0) {
        LC_TRACE("AGG lcache entry not found for interface %s (if 0x%x) during change from 0x%x to "
                 "0x%x\n",
                 name, if_index, old_fop, new_fop);
        return LCACHE_NOTIFY_IGNORED;
    }
    LC_TRACE("Creating lcache entry for if-index 0x%x on agg-fop", if_index);
    lcache_if_entry_t *entry =
        lc::create_entry(if_index, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    lc::store_fop(*entry, new_fop);
    return LCACHE_NOTIFY_APPLIED;
}

int32_t lcache_update_switchport(uint32_t iod) {
    const lc::ChangeScope op;
    if (!lcache_enabled)
        return LCACHE_NOTIFY_IGNORED;
    LC_TRACE("switchport update for interface %s (iod %d)\n", netif_get_if_name(iod), iod);
    lcache_if_entry_t *entry = lc::notified_entry(iod);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    lc::refetch_notified(*entry, lc::kSwitchport);
    return LCACHE_NOTIFY_APPLIED;
}

int32_t lcache_update_vlan(uint32_t iod) {
    const lc::ChangeScope op;
    if (!lcache_enabled)
        return LCACHE_NOTIFY_IGNORED;
    // One name for the three traces: the interface manager is asked once.
    const char *name = netif_get_if_name(iod);
    LC_TRACE("vlan update for interface %s (iod %d)\n", name, iod);
    lcache_if_entry_t *entry = lc::notified_entry(iod);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    lc::mark_stale(*entry, lc::kVlan);
    netif_vlan_info_t info{};
    uint32_t mode = 0;
    if (lc::vlan_info_query(iod, &info, &mode)) {
        const uint32_t vlan = info.vlan;
        LC_TRACE("vlan update for interface %s (iod %d) Succeeded, vlan: %d, mode: %d\n", name, iod,
                 vlan, mode);
        return LCACHE_NOTIFY_APPLIED;
    }
    LC_TRACE("vlan update for interface %s (iod %d) FAILED\n", name, iod);
    return LCACHE_NOTIFY_IGNORED;
}
}
