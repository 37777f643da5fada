// SPDX-License-Identifier: MIT
// The entry refresh: for every dirty attribute, ask the service that owns
// it, store the answer and, where the answer is usable, clear the bit.  It
// is the one place a whole entry is filled, and the one place an entry
// moves inside the pi and lif tables.
#include <cstring>

#include "agg.h"
#include "if_index.h"
#include "lcache_attrs.h"
#include "lcache_destroy.h"
#include "lcache_key_attrs.h"
#include "lcache_refresh.h"

namespace lc {

namespace {

constexpr const char *kRefreshOp = "lcache_if_update_entry";
constexpr uint32_t kRefreshedEveryTime = 0xE0000000; // bits 29-31

// How the refresh keeps one hardware key (pi or lif) and its table in step
// with the peer that owns the key.  Each message is a function, so the
// compiler checks every format against its arguments.
struct KeyMove {
    const KeyAttr &key;
    uint64_t lcache_stats_t::*remaps;
    uint8_t lcache_if_entry_t::*remap_cnt;
    // The pi is final once the peer confirms it; an unchanged lif keeps
    // its bit so the next refresh asks again.
    bool unchanged_is_final;
    void (*trace_changed)(const lcache_if_entry_t &entry, uint32_t new_key);
    void (*trace_stale_other)(const lcache_if_entry_t &other, uint32_t key,
                              const lcache_if_entry_t &entry);
    void (*trace_stale_self)(const lcache_if_entry_t &entry, uint32_t old_key, uint32_t new_key);
    void (*trace_creating)(const lcache_if_entry_t &entry, uint32_t key);
    void (*report_insert_fail)(const lcache_if_entry_t &entry, uint32_t key);
};

const KeyMove kPiMove{
    .key = kPiKey,
    .remaps = &lcache_stats_t::pi_remaps,
    .remap_cnt = &lcache_if_entry_t::pi_remap_cnt,
    .unchanged_is_final = true,
    .trace_changed =
        [](const lcache_if_entry_t &e, uint32_t pi) {
            LC_TRACE("If->pi mapping changed for if-index 0x%x, entry->pi=%d, pi=%d, "
                     "port_index=%d\n",
                     e.if_index, e.iod, e.pi, pi);
        },
    .trace_stale_other =
        [](const lcache_if_entry_t &other, uint32_t pi, const lcache_if_entry_t &e) {
            LC_TRACE("Removing stale pi entry for if-index 0x%x, iod %d, pi 0x%x  for if-index "
                     "0x%x, iod %d\n",
                     other.if_index, other.iod, pi, e.if_index, e.iod);
        },
    .trace_stale_self =
        [](const lcache_if_entry_t &e, uint32_t old_pi, uint32_t pi) {
            LC_TRACE("Removing stale entry for if-index 0x%x, iod %d, pi 0x%x  for new "
                     "port-index 0x%x\n",
                     e.if_index, e.iod, old_pi, pi);
        },
    .trace_creating =
        [](const lcache_if_entry_t &e, uint32_t pi) {
            LC_TRACE("Creating pi entry for if-index 0x%x, iod %d, pi 0x%x\n", e.if_index, e.iod,
                     pi);
        },
    .report_insert_fail =
        [](const lcache_if_entry_t &e, uint32_t pi) {
            LC_ERROR_AS(kRefreshOp, "Pi-insert for if-index 0x%x, iod %d, pi %d failed\n",
                        e.if_index, e.iod, pi);
        },
};

const KeyMove kLifMove{
    .key = kLifKey,
    .remaps = &lcache_stats_t::lif_remaps,
    .remap_cnt = &lcache_if_entry_t::lif_remap_cnt,
    .unchanged_is_final = false,
    .trace_changed =
        [](const lcache_if_entry_t &e, uint32_t lif) {
            LC_TRACE("If->lif mapping changed for if-index 0x%x, entry->iod=%d, lif=0x%x\n",
                     e.if_index, e.iod, lif);
        },
    .trace_stale_other =
        [](const lcache_if_entry_t &other, uint32_t lif, const lcache_if_entry_t &e) {
            LC_TRACE("Removing stale lif entry for if-index 0x%x, iod %d, lif 0x%x  for if-index "
                     "0x%x, iod %d\n",
                     other.if_index, other.iod, lif, e.if_index, e.iod);
        },
    .trace_stale_self =
        [](const lcache_if_entry_t &e, uint32_t old_lif, uint32_t lif) {
            LC_TRACE("Removing stale lif entry for if-index 0x%x, iod %d, lif 0x%x  for new "
                     "port-index 0x%x\n",
                     e.if_index, e.iod, old_lif, lif);
        },
    .trace_creating =
        [](const lcache_if_entry_t &e, uint32_t lif) {
            LC_TRACE("Creating lif entry for if-index 0x%x, iod %d, lif 0x%x\n", e.if_index, e.iod,
                     lif);
        },
    .report_insert_fail =
        [](const lcache_if_entry_t &e, uint32_t lif) {
            LC_ERROR_AS(kRefreshOp, "Lif-insert for if-index 0x%x, iod %d, lif %d failed\n",
                        e.if_index, e.iod, lif);
        },
};

// Whether the entry's iod still belongs to its ifindex.  When it does not,
// the entry now holding the new iod is stale and goes.
bool iod_still_mapped(lcache_if_entry_t &entry) {
    count_update(kIodKey);
    uint32_t new_iod = LCACHE_NO_IOD;
    uint32_t status = kIodKey.peer(entry.if_index, &new_iod);
    if (status == 0 && new_iod == entry.iod)
        return true;
    LC_ERROR_AS(kRefreshOp,
                "If->iod mapping changed for if-index 0x%x, entry->iod=%d, iod=%d, err: 0x%x\n",
                entry.if_index, entry.iod, new_iod, status);
    ++entry.iod_remap_cnt;
    // A failed query names no iod, so there is nothing to evict.
    if (status == 0)
        remove_entry_by_iod(new_iod);
    ++lcache.stats.iod_remaps;
    return false;
}

void count_remap(lcache_if_entry_t &entry, const KeyMove &m) {
    ++(lcache.stats.*m.remaps);
    ++(entry.*m.remap_cnt);
}

// Moves the entry to the key the peer reports now, evicting any other
// entry that still holds that key.  A failed query means "no key".
void remap_key(lcache_if_entry_t &entry, const KeyMove &m, bool first_fill) {
    const TableDesc &t = m.key.table;
    if (!is_dirty(entry, m.key) || !table_in_service(t))
        return;
    uint32_t key = t.none;
    if (m.key.peer(entry.if_index, &key) != 0)
        key = t.none;
    count_update(m.key);
    uint32_t &held = key_of(t, entry);
    if (m.unchanged_is_final && !first_fill && key != t.none && held == key)
        settle_key(entry, m.key);
    if (held == key)
        return;
    if (!first_fill)
        m.trace_changed(entry, key);
    // A delete that fails leaves its entry in the table under its key: a
    // table never holds two entries under one key, so the insert is then
    // not attempted, and an entry that could not leave keeps its old key.
    bool removals_done = true;
    if (key != t.none) {
        if (lcache_if_entry_t *other = lookup(t, key)) {
            m.trace_stale_other(*other, key, entry);
            removals_done = delete_keyed_entry(t, other);
            count_remap(entry, m);
        }
    }
    if (held != t.none) {
        m.trace_stale_self(entry, held, key);
        removals_done = delete_keyed_entry(t, &entry) && removals_done;
        count_remap(entry, m);
    }
    if (key == t.none)
        return;
    m.trace_creating(entry, key);
    if (!removals_done) {
        m.report_insert_fail(entry, key);
        return;
    }
    held = key;
    if (insert_entry(t, &entry)) {
        settle_key(entry, m.key);
    } else {
        m.report_insert_fail(entry, key);
        held = t.none;
    }
}

// A port-channel's agg_if is its first operational member; other types
// have nothing to ask.  Either peer's success makes it final.
void refresh_agg_if(lcache_if_entry_t &entry, uint8_t type) {
    if (!is_dirty(entry, kAggIf))
        return;
    if (type != IF_TYPE_PORT_CHANNEL) {
        settle(entry, kAggIf, Final::always);
        return;
    }
    count_update(kAggIf);
    // What the peer writes stays, whatever its status.
    uint32_t member = read(entry, kAggIf);
    const bool answered = agg_get_pc_mbr_ifidx_from_rbh(entry.if_index, 0, &member) == 0;
    store(entry, kAggIf, member);
    if (answered)
        settle(entry, kAggIf, Final::always);
    uint32_t fop = 0;
    if (pc_first_operational_member(entry.if_index, &fop) == 0 && fop != 0)
        store_fresh(entry, kAggIf, fop);
}

// Only an Ethernet port has a port mode worth keeping.
void refresh_port_mode(lcache_if_entry_t &entry, uint8_t type) {
    if (!is_dirty(entry, kIps) || type != IF_TYPE_ETH_PORT)
        return;
    uint32_t mode = 0;
    query_port_mode(entry.if_index, &mode);
    take(entry, kIps, mode == NETIF_PORT_MODE_IPS, kIps.refreshed);
    count_update(kIps);
}

// Asking for the VLAN id also refreshes the VLAN-interface flag (its bit
// is left alone) and, when wanted, a sub-interface's parent.
void refresh_vlan(lcache_if_entry_t &entry) {
    if (!is_dirty(entry, kVlan))
        return;
    const uint32_t is_vlan = kIsVlan.peer(entry.iod);
    store(entry, kIsVlan, is_vlan);
    uint16_t vlan = 0;
    if (ask_vlan_id(entry.iod, is_vlan, &vlan))
        store(entry, kVlan, vlan);
    if (is_vlan && (entry.dirty & LCACHE_ATTR_SUBIF))
        store(entry, kAggIf, netif_get_sub_interface_parent(entry.iod));
    settle(entry, kVlan, kVlan.refreshed);
    count_update(kVlan);
}

} // namespace

uint32_t pc_first_operational_member(uint32_t if_index, uint32_t *member) {
    agg_pc_info_t info{};
    memcpy(info.bytes + AGG_PC_INFO_IFINDEX_OFF, &if_index, sizeof if_index);
    uint32_t status = agg_get_pc_info(&info);
    if (status == 0)
        memcpy(member, info.bytes + AGG_PC_INFO_FOP_OFF, sizeof *member);
    return status;
}

uint32_t query_port_mode(uint32_t if_index, uint32_t *mode) {
    netif_port_mode_req_t req;
    memset(&req, 0, sizeof req);
    req.if_index = if_index;
    req.start = 0;
    uint32_t status = netif_get_ifindex_port_mode_list(&req, 1);
    *mode = req.port_mode;
    return status;
}

bool ask_vlan_id(uint32_t iod, uint32_t is_vlan, uint16_t *vlan) {
    if (is_vlan) {
        *vlan = static_cast<uint16_t>(netif_get_if_vlanid(iod));
        return true;
    }
    if (!kSwitchport.peer(iod))
        return false;
    netif_vlan_info_t info{};
    uint32_t word = 0;
    if (netif_get_vlan_info(iod, &info, &word) != 1)
        return false;
    *vlan = static_cast<uint16_t>(info.vlan);
    return true;
}

uint8_t *src_mac(uint32_t iod) {
    static uint8_t mac[6];
    memset(mac, 0, sizeof mac);
    netif_get_if_src_mac_addr(iod, mac);
    return mac;
}

int32_t refresh_entry(lcache_if_entry_t *entry, uint32_t option) {
    if (!lcache_enabled || !entry)
        return 0;
    lcache_if_entry_t &e = *entry;
    const ChangeScope op;
    touched(e);
    LC_TRACE("Lcache-update for if-index 0x%x, iod %d\n", e.if_index, e.iod);
    uint8_t type = 0;
    if (if_index_get_type(e.if_index, &type) != 0) {
        LC_ERROR_AS(kRefreshOp, "Invalid interface index 0x%x\n", e.if_index);
        return 0;
    }
    const bool first_fill = option != 0;
    // Without an iod table the entry has no iod to verify.
    if (!first_fill && is_dirty(e, kIodKey) && table_in_service(kIodKey.table) &&
        !iod_still_mapped(e))
        return 0;
    remap_key(e, kPiMove, first_fill);
    remap_key(e, kLifMove, first_fill);
    refresh_agg_if(e, type);
    refresh_attr(e, kSwitchport);
    refresh_attr(e, kLinkup);
    refresh_attr(e, kProtoup);
    refresh_attr(e, kEncap);
    refresh_attr(e, kSwitching);
    for (const auto *slot : kExtSlots)
        refresh_attr(e, *slot);
    refresh_attr(e, kMac);
    refresh_attr(e, kEthernet);
    refresh_attr(e, kLoopback);
    refresh_attr(e, kP2p);
    refresh_attr(e, kNull);
    refresh_attr(e, kContext);
    refresh_attr(e, kBaseTid);
    refresh_port_mode(e, type);
    refresh_vlan(e);
    refresh_attr(e, kMtu);
    e.dirty &= ~kRefreshedEveryTime;
    return 1;
}

} // namespace lc

extern "C" {

int32_t lcache_if_update_entry(lcache_if_entry_t *entry, uint32_t option) {
    return lc::refresh_entry(entry, option);
}

uint8_t *lcache_get_if_src_mac_addr(uint32_t iod) { return lc::src_mac(iod); }
}
