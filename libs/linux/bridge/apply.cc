// SPDX-License-Identifier: MIT
#include "apply.h"

#include <linux/if.h>
#include <linux/if_arp.h>

#include <cstring>

#include "agg.h"
#include "bridge_state.h"
#include "change_records.h"
#include "held_links.h"
#include "numbering.h"

namespace lcache_linux {
namespace {

// Brings the cached first operational member of bond `bond` (a kernel
// ifindex) in line with the kernel.  A master of bond members is a
// port-channel, so its ifindex needs no question.
void refresh_bond_member(uint32_t bond) {
    uint32_t if_index = make_ifindex(IfType::port_channel, bond);
    lcache_if_entry_t *entry = cached_entry(if_index);
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
    lcache_agg_fop_msg_t msg = lcache_records::fop_record(if_index, entry->agg_if, fop);
    lcache_update_agg_fop(&msg);
}

// Facts no change record carries: the routing context (a VRF move), and
// those a different interface reusing the ifindex would change.  Only what
// is cached and fresh is compared.
bool unrecorded_facts_differ(const lcache_if_entry_t &entry, const LinkInfo &link) {
    uint32_t fresh = lcache.attr.sync_mask & ~entry.dirty;
    auto differs = [fresh](uint32_t bit, bool cached, bool now) {
        return (fresh & bit) && cached != now;
    };
    return ((fresh & LCACHE_ATTR_CONTEXT) && entry.ctx != context_of(link)) ||
           ((fresh & LCACHE_ATTR_BASE_TID) && entry.tid != base_table_of(link)) ||
           ((fresh & LCACHE_ATTR_ENCAP) && entry.encap != encap_of(link)) ||
           differs(LCACHE_ATTR_ETHERNET, entry.flags & LCACHE_FLAG_ETH,
                   link.arp_type == ARPHRD_ETHER) ||
           differs(LCACHE_ATTR_IS_VLAN, entry.flags & LCACHE_FLAG_ISVLAN,
                   classify(link) == IfType::vlan) ||
           differs(LCACHE_ATTR_LOOPBACK, entry.flags2 & LCACHE_FLAG2_LO,
                   link.flags & IFF_LOOPBACK) ||
           differs(LCACHE_ATTR_P2P, entry.flags2 & LCACHE_FLAG2_P2P,
                   link.flags & IFF_POINTOPOINT);
}

void update_entry(const LinkInfo &link, lcache_if_entry_t &entry, bool fill) {
    lcache_l2_msg_t l2 = l2_record(link);
    lcache_l3_msg_t l3 = l3_record(link);
    if (classify(link) == IfType::port_channel) {
        // The L3 bundle record says link and protocol without asking; the
        // L2 one, which asks, goes last.
        lcache_update_l3_bundle_state(&l3);
        lcache_update_l2_bundle_state(&l2);
        refresh_bond_member(link.index);
    } else {
        lcache_update_l2_state(&l2);
        lcache_update_l3_state(&l3);
    }
    // The records may have released the entry (an L3 record with tracking).
    if (cached_entry(os_ifindex(link)) != &entry)
        return;
    // An interface that is not what the entry says is refilled whole; the
    // refresh is answered from the message, free.
    bool refill = unrecorded_facts_differ(entry, link);
    if (refill)
        lcache_flush_if_entry(&entry, kFlushEverything);
    if ((refill || fill) && (entry.dirty & lcache.attr.sync_mask))
        lcache_if_update_entry(&entry, 0);
}

} // namespace

lcache_if_entry_t *cached_entry(uint32_t if_index) {
    if (!lcache_enabled)
        return nullptr;
    return static_cast<lcache_if_entry_t *>(ht_lookup(&lcache.if_table, &if_index));
}

bool track_bond_membership(const LinkInfo &link, bool deleted) {
    BondMembers &bonds = bridge().bond_of_member;
    uint32_t before = bonds.bond_of(link.index);
    uint32_t now = !deleted && is_bond_member(link) ? link.master : 0;
    bool kept = bonds.set(link.index, now);
    if (before && before != now)
        refresh_bond_member(before);
    if (now)
        refresh_bond_member(now);
    return kept;
}

Applied apply_link(const LinkInfo &link, bool deleted, bool renamed, Apply how) {
    if (!numberable(link))
        return Applied::skipped;
    Held held(link);
    uint32_t if_index = os_ifindex(link);
    lcache_if_entry_t *entry = cached_entry(if_index);
    if (deleted) {
        return entry && lcache_if_remove_entry_by_if(if_index) ? Applied::removed
                                                               : Applied::skipped;
    }
    if (entry) {
        update_entry(link, *entry, how == Apply::fill);
        if (renamed)
            lcache_update_name(link.index);
        return Applied::updated;
    }
    if (how == Apply::update || !lcache_enabled)
        return Applied::skipped;
    return lcache_if_create_entry_by_if(if_index, link.index, LCACHE_NO_PI, LCACHE_NO_LIF)
               ? Applied::created
               : Applied::skipped;
}

} // namespace lcache_linux
