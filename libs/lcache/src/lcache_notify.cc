// SPDX-License-Identifier: MIT
// Physical, L2, L3 and L3-parameter change notifications: store what the
// record says, refetch what it says changed, and create or remove entries
// as the interface comes and goes.
#include "lcache_notify.h"
#include "if_index.h"
#include "lcache_create.h"
#include "lcache_destroy.h"
#include "lcache_query.h"
#include "lcache_refresh.h"
#include "platform_util.h"

namespace lc {

namespace {

bool keys_follow_another(uint8_t type) {
    return type == IF_TYPE_SUBIF || type == IF_TYPE_PORT_CHANNEL;
}

// The interface's state and values as an L3 record reports them.
void apply_l3_record(lcache_if_entry_t &entry, const lcache_l3_msg_t &msg, uint8_t type) {
    const uint32_t iod = msg.iod;
    refetch_notified(entry, kLinkup);
    refetch_notified(entry, kProtoup);
    // The record carries no MAC: the interface manager's is stored.
    ask_notified(entry, kMac);
    ask_notified(entry, kSwitchport);
    // A GRE tunnel's record does not carry its MTU.
    if (type != IF_TYPE_GRE_TUNNEL)
        store_notified(entry, kMtu, msg.mtu);
    if (msg.state == LCACHE_L3_UP) {
        // Coming up can change the addressing: what is dirty is asked
        // again, through the queries, which count their hits and misses.
        if (type == IF_TYPE_MGMT_ETHER)
            mark_stale(entry, kMac);
        mac_query(iod);
        attr_query<kEncap>(iod);
        mark_stale(entry, kEthernet);
        attr_query<kEthernet>(iod);
    }
    if (keys_follow_another(type)) {
        redo_hardware_keys(entry);
        refresh_entry(&entry, 0);
    }
}

} // namespace

void store_l2_record(lcache_if_entry_t &entry, const lcache_l2_msg_t &msg) {
    store_notified(entry, kMac, msg.mac);
    store_notified(entry, kMtu, msg.mtu);
    if (msg.state != LCACHE_L2_NO_VLAN)
        store_notified(entry, kVlan, (msg.mode_flags & LCACHE_L2_VLAN_A) ? msg.vlan_a : msg.vlan_b);
    ask_notified(entry, kSwitchport);
    ask_notified(entry, kSwitching);
}

} // namespace lc

extern "C" {

int32_t lcache_update_phy_state(const lcache_state_msg_t *record) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !record)
        return LCACHE_NOTIFY_IGNORED;
    const lcache_state_msg_t msg =
        lc::read_fields(record, &lcache_state_msg_t::iod, &lcache_state_msg_t::state);
    ++lcache.stats.upd_phy;
    lcache_if_entry_t *entry = lc::notified_entry(msg.iod);
    LC_TRACE("Interface %s (iod %d): entry 0x%x, state %d\n", netif_get_if_name(msg.iod), msg.iod,
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(entry)), msg.state);
    if (msg.state == LCACHE_PHY_GONE) {
        if (!entry)
            return LCACHE_NOTIFY_IGNORED;
        LC_TRACE("Deleting lcache entry for if-iod %d on phy-change.", msg.iod);
        lc::remove_entry_by_iod(msg.iod);
        return LCACHE_NOTIFY_APPLIED;
    }
    if (entry) {
        // The link is up; the bit is left as it is, so a pending refetch
        // still happens.
        lc::store(*entry, lc::kLinkup, 1u);
        return LCACHE_NOTIFY_APPLIED;
    }
    LC_TRACE("Creating lcache entry for if-iod %d on phy-change.", msg.iod);
    lc::create_entry_by_iod(msg.iod);
    return LCACHE_NOTIFY_APPLIED;
}

int32_t lcache_update_l2_state(const lcache_l2_msg_t *record) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !record)
        return LCACHE_NOTIFY_STATE_IGNORED;
    const lcache_l2_msg_t msg = lc::read_l2_record(record, &lcache_l2_msg_t::if_index);
    ++lcache.stats.upd_l2;
    uint8_t type = 0;
    if (uint32_t status = if_index_get_type(msg.if_index, &type)) {
        LC_ERROR(" Invalid interface index 0x%x\n", msg.if_index);
        return static_cast<int32_t>(status);
    }
    LC_TRACE("L2 protocol-change update for interface %s (iod %d)\n", netif_get_if_name(msg.iod),
             msg.iod);
    lcache_if_entry_t *entry = lc::notified_entry(msg.iod);
    if (!entry)
        return LCACHE_NOTIFY_STATE_IGNORED;
    // An Ethernet port's link state comes with its phy notifications.
    if (type != IF_TYPE_ETH_PORT)
        lc::refetch_notified(*entry, lc::kLinkup);
    lc::refetch_notified(*entry, lc::kProtoup);
    lc::store_l2_record(*entry, msg);
    if (lc::keys_follow_another(type)) {
        lc::redo_hardware_keys(*entry);
        lc::refresh_entry(entry, 0);
    }
    return LCACHE_NOTIFY_STATE_OK;
}

int32_t lcache_update_l3_state(lcache_l3_msg_t *record) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !record)
        return LCACHE_NOTIFY_STATE_IGNORED;
    using M = lcache_l3_msg_t;
    M msg = lc::read_fields(record, &M::if_index, &M::iod, &M::state, &M::mtu);
    uint8_t type = 0;
    if (uint32_t status = if_index_get_type(msg.if_index, &type)) {
        LC_ERROR(" Invalid interface index 0x%x\n", msg.if_index);
        return static_cast<int32_t>(status);
    }
    if (msg.iod == LCACHE_NO_IOD) {
        uint32_t status = netif_get_iod_frm_ifindex(msg.if_index, &msg.iod);
        // The caller's record learns the iod (or whatever the query left).
        memcpy(reinterpret_cast<unsigned char *>(record) + offsetof(lcache_l3_msg_t, iod), &msg.iod,
               sizeof msg.iod);
        if (status != 0) {
            LC_ERROR("netif_get_iod_frm_ifindex failed for if-index 0x%x, err: 0x%x\n",
                     msg.if_index, status);
            return static_cast<int32_t>(status);
        }
    }
    ++lcache.stats.upd_l3;
    LC_TRACE("L3 Protocol-change update for interface %s (iod %d)\n", netif_get_if_name(msg.iod),
             msg.iod);
    const uint32_t l3_track = lcache.attr.l3_track;
    lcache_if_entry_t *entry = lc::notified_entry(msg.iod);
    if (!entry) {
        if (l3_track && msg.state == LCACHE_L3_UP) {
            LC_TRACE("Creating lcache entry for if-iod %d on l3-change.", msg.iod);
            lc::create_entry_by_iod(msg.iod);
            return LCACHE_NOTIFY_STATE_OK;
        }
        LC_TRACE("Not creating cache entry for if-iod %d on l3-change, %d, state: %d", msg.iod,
                 l3_track, msg.state);
        return LCACHE_NOTIFY_STATE_IGNORED;
    }
    if (l3_track && msg.state != LCACHE_L3_UP) {
        LC_TRACE("Removing lcache entry for if-iod %d on l3-change.", msg.iod);
        lc::remove_entry_by_iod(msg.iod);
        return LCACHE_NOTIFY_STATE_OK;
    }
    lc::apply_l3_record(*entry, msg, type);
    return LCACHE_NOTIFY_STATE_OK;
}

int32_t lcache_update_l3_param(const lcache_state_msg_t *record, const uint32_t *changes) {
    const lc::ChangeScope op;
    if (!lcache_enabled || !record)
        return LCACHE_NOTIFY_IGNORED;
    const lcache_state_msg_t msg = lc::read_fields(record, &lcache_state_msg_t::iod);
    ++lcache.stats.upd_l3_param;
    LC_TRACE("Phy state update for interface %s (iod %d)\n", netif_get_if_name(msg.iod), msg.iod);
    lcache_if_entry_t *entry = lc::notified_entry(msg.iod);
    if (!entry)
        return LCACHE_NOTIFY_IGNORED;
    if (changes && bitset_is_bit_set(changes, LCACHE_L3_PARAM_MTU)) {
        LC_TRACE("MTU change for interface iod %d\n", msg.iod);
        // Stored as it comes, counted nowhere, its bit left alone.
        lc::store(*entry, lc::kMtu, lc::kMtu.peer(msg.iod));
    }
    lc::refetch_notified(*entry, lc::kP2p);
    return LCACHE_NOTIFY_APPLIED;
}
}
