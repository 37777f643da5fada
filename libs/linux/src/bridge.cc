// The notification bridge: the kernel's link notifications, read from a
// socket joined to RTNLGRP_LINK, become the cache's change records.
//
// A notification stores what it carries and the cache asks for nothing
// else: while its records are handed over, the peers answer questions about
// that link from the message itself (InHand).  Lost notifications cost a
// full flush, never a stale answer.
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <span>

#include "agg.h"
#include "attrs.h"
#include "bond_members.h"
#include "change_records.h"
#include "kernel.h"
#include "lcache.h"
#include "lcache_linux.h"
#include "netlink_socket.h"
#include "numbering.h"

using namespace lcache_linux;

namespace {

// Flush option 3 marks every attribute the cache keeps.
constexpr uint32_t kFlushEverything = 3;

NetlinkSocket notify_socket;
lcache_linux_counters_t counters;
BondMembers bond_of_member;

alignas(nlmsghdr) unsigned char datagram[32768];

lcache_if_entry_t *cached(uint32_t if_index) {
    if (!lcache_enabled)
        return nullptr;
    return static_cast<lcache_if_entry_t *>(ht_lookup(&lcache.if_table, &if_index));
}

// Brings the cached first operational member of bond `bond` (a kernel
// ifindex) in line with the kernel.
void refresh_bond_member(uint32_t bond) {
    LinkInfo link;
    if (fetch_link(bond, link) != Fetch::ok || classify(link) != IfType::port_channel)
        return;
    uint32_t if_index = os_ifindex(link);
    lcache_if_entry_t *entry = cached(if_index);
    if (!entry)
        return;
    agg_pc_info_t info{};
    memcpy(info.bytes + AGG_PC_INFO_IFINDEX_OFF, &if_index, sizeof if_index);
    if (agg_get_pc_info(&info) != 0)
        return;
    uint32_t fop;
    memcpy(&fop, info.bytes + AGG_PC_INFO_FOP_OFF, sizeof fop);
    if (fop == entry->agg_if && !(entry->dirty & LCACHE_ATTR_AGG_IF))
        return;
    lcache_agg_fop_msg_t msg = fop_record(if_index, entry->agg_if, fop);
    lcache_update_agg_fop(&msg);
}

// The bond this link belongs to now or belonged to until this message.
void track_bond_membership(const LinkInfo &link, bool deleted) {
    uint32_t before = bond_of_member.bond_of(link.index);
    uint32_t now = !deleted && is_bond_member(link) ? link.master : 0;
    if (!bond_of_member.set(link.index, now)) {
        // Without the record a later release could not reach the bond:
        // every entry is asked again instead.
        ++counters.allocation_failures;
        lcache_if_flush_all(kFlushEverything);
    }
    if (before && before != now)
        refresh_bond_member(before);
    if (now)
        refresh_bond_member(now);
}

void update_entry(const LinkInfo &link) {
    InHand in_hand(link);
    lcache_l2_msg_t l2 = l2_record(link);
    lcache_l3_msg_t l3 = l3_record(link);
    if (classify(link) == IfType::port_channel) {
        // The L3 bundle record says link and protocol without asking; the
        // L2 one, which asks, goes last.
        lcache_update_l3_bundle_state(&l3);
        lcache_update_l2_bundle_state(&l2);
        refresh_bond_member(link.index);
        return;
    }
    lcache_update_l2_state(&l2);
    lcache_update_l3_state(&l3);
    // A VRF move changes the routing context, which no record carries.
    lcache_if_entry_t *entry = cached(os_ifindex(link));
    if (entry && (entry->ctx != context_of(link) || entry->tid != base_table_of(link)) &&
        !(entry->dirty & (LCACHE_ATTR_CONTEXT | LCACHE_ATTR_BASE_TID)) &&
        (lcache.attr.sync_mask & (LCACHE_ATTR_CONTEXT | LCACHE_ATTR_BASE_TID)))
        lcache_flush_if_entry(entry, kFlushEverything);
}

// A bridge's VLAN notification (family AF_BRIDGE) about a cached port: its
// VLAN is asked again when the message carries VLAN information.
bool handle_bridge_vlans(const nlmsghdr *message) {
    const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
    if (ifi->ifi_index <= 0)
        return false;
    bool has_vlans = false;
    for_each_attr(message, sizeof(ifinfomsg), [&](const nlattr *attr) {
        has_vlans = has_vlans || mnl_attr_get_type(attr) == IFLA_AF_SPEC;
        return MNL_CB_OK;
    });
    // The update finds nothing (0) for an interface the cache does not hold.
    return has_vlans && lcache_update_vlan(static_cast<uint32_t>(ifi->ifi_index)) != 0;
}

enum class Outcome { handled, skipped, malformed };

Outcome handle(const nlmsghdr *message) {
    if (message->nlmsg_type != RTM_NEWLINK && message->nlmsg_type != RTM_DELLINK)
        return Outcome::skipped;
    if (message->nlmsg_len < mnl_nlmsg_size(sizeof(ifinfomsg)))
        return Outcome::malformed;
    const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
    if (ifi->ifi_family == AF_BRIDGE)
        return handle_bridge_vlans(message) ? Outcome::handled : Outcome::skipped;
    LinkInfo link;
    if (!parse_link(message, link))
        return Outcome::malformed;
    bool deleted = message->nlmsg_type == RTM_DELLINK;
    track_bond_membership(link, deleted);
    if (!numberable(link) || !cached(os_ifindex(link)))
        return Outcome::skipped;
    if (deleted)
        lcache_if_remove_entry_by_if(os_ifindex(link));
    else
        update_entry(link);
    return Outcome::handled;
}

void count(Outcome outcome) {
    switch (outcome) {
    case Outcome::handled:
        ++counters.messages_handled;
        break;
    case Outcome::skipped:
        ++counters.messages_skipped;
        break;
    case Outcome::malformed:
        ++counters.messages_malformed;
        break;
    }
}

// Handles every message of one datagram; a message whose length runs past
// the datagram ends it.
int handle_datagram(size_t length) {
    uint64_t before = counters.messages_handled;
    auto *message = reinterpret_cast<const nlmsghdr *>(datagram);
    auto remaining = static_cast<int>(length);
    while (mnl_nlmsg_ok(message, remaining)) {
        count(handle(message));
        message = mnl_nlmsg_next(message, &remaining);
    }
    if (remaining > 0)
        count(Outcome::malformed);
    return static_cast<int>(counters.messages_handled - before);
}

// Removes the entries of interfaces the kernel no longer has (a lost
// RTM_DELLINK), found with one dump of every link.  Without memory for the
// list they stay, flushed with the rest: their next question finds them
// gone.
void remove_vanished_entries() {
    if (!lcache_enabled || lcache.if_table.num_entries == 0)
        return;
    size_t count = 0;
    auto *cached_ifindexes =
        static_cast<uint32_t *>(malloc(lcache.if_table.num_entries * sizeof(uint32_t)));
    ht_iterator_t it;
    if (!cached_ifindexes) {
        ++counters.allocation_failures;
        return;
    }
    if (ht_iterator_init(&it, &lcache.if_table, 0, lcache.if_table.num_buckets)) {
        while (auto *entry = static_cast<lcache_if_entry_t *>(ht_iterator_next(&it, 0)))
            cached_ifindexes[count++] = entry->if_index;
    }
    std::span<uint32_t> list(cached_ifindexes, count);
    std::sort(list.begin(), list.end());
    auto mark_present = [](const LinkInfo &link, void *data) {
        auto &present = *static_cast<std::span<uint32_t> *>(data);
        if (!numberable(link))
            return;
        auto found = std::lower_bound(present.begin(), present.end(), os_ifindex(link));
        if (found != present.end() && *found == os_ifindex(link))
            *found = 0;
    };
    if (for_each_link(mark_present, &list) == Fetch::ok) {
        for (uint32_t if_index : list)
            if (if_index)
                lcache_if_remove_entry_by_if(if_index);
    }
    free(cached_ifindexes);
}

// Notifications were lost: what is queued is no better than what was lost,
// so it is read and dropped; entries of interfaces that went away meanwhile
// are removed, and every other one is asked again on its next use.
void resynchronise() {
    ++counters.overruns;
    while (notify_socket.receive(datagram, sizeof datagram) > 0) {
    }
    remove_vanished_entries();
    lcache_if_flush_all(kFlushEverything);
    lcache_vlan_flush_all(kFlushEverything);
    bond_of_member.clear();
}

} // namespace

extern "C" {

int lcache_linux_open(void) { return notify_socket.open(RTMGRP_LINK, true); }

int lcache_linux_fd(void) { return notify_socket.fd(); }

int lcache_linux_dispatch(void) {
    if (!notify_socket.is_open())
        return -EBADF;
    int messages = 0;
    for (;;) {
        long length = notify_socket.receive(datagram, sizeof datagram);
        if (length == -EAGAIN || length == -EWOULDBLOCK || length == 0)
            return messages;
        if (length == -EINTR)
            continue;
        if (length == -ENOBUFS) {
            resynchronise();
            continue;
        }
        if (length < 0)
            return static_cast<int>(length);
        messages += handle_datagram(static_cast<size_t>(length));
    }
}

void lcache_linux_close(void) {
    notify_socket.close();
    close_request_socket();
    bond_of_member.clear();
}

void lcache_linux_get_counters(lcache_linux_counters_t *out) {
    if (!out)
        return;
    *out = counters;
    out->round_trips = round_trips();
}

void lcache_linux_reset_counters(void) {
    counters = lcache_linux_counters_t{};
    reset_round_trips();
}

} // extern "C"
