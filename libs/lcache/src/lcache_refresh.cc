// The entry refresh: for every dirty attribute, ask the service that owns
// it, store the answer and, where the answer is usable, clear the bit.  It
// is the one place a whole entry is filled, and the one place an entry
// moves inside the pi and lif tables.
#include <cstring>

#include "agg.h"
#include "dmap.h"
#include "if_index.h"
#include "lcache_attrs.h"
#include "lcache_refresh.h"
#include "lcache_tables.h"
#include "lifsvc.h"
#include "rtctx.h"

namespace lc {

namespace {

constexpr const char *kRefreshOp = "lcache_if_update_entry";
constexpr uint32_t kRefreshedEveryTime = 0xE0000000; // bits 29-31

// How the refresh keeps one hardware key (pi or lif) and its table in step
// with the peer that owns the key.  Each message is a function, so the
// compiler checks every format against its arguments.
struct KeyDesc {
    const TableDesc &table;
    uint32_t (*fetch)(uint32_t if_index, uint32_t *key);
    lcache_stat_row_t row;
    uint64_t lcache_stats_t::*remaps;
    uint8_t lcache_if_entry_t::*remap_cnt;
    // The pi is settled once the peer confirms it; an unchanged lif keeps
    // its bit so the next refresh asks again.
    bool unchanged_clears;
    void (*trace_changed)(const lcache_if_entry_t &entry, uint32_t new_key);
    void (*trace_stale_other)(const lcache_if_entry_t &other, uint32_t key,
                              const lcache_if_entry_t &entry);
    void (*trace_stale_self)(const lcache_if_entry_t &entry, uint32_t old_key, uint32_t new_key);
    void (*trace_creating)(const lcache_if_entry_t &entry, uint32_t key);
    void (*report_insert_fail)(const lcache_if_entry_t &entry, uint32_t key);
};

const KeyDesc kPiKey{
    .table = kPiTable,
    .fetch = dmap_lib_ifidx_to_di,
    .row = LCACHE_STAT_PI,
    .remaps = &lcache_stats_t::pi_remaps,
    .remap_cnt = &lcache_if_entry_t::pi_remap_cnt,
    .unchanged_clears = true,
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

const KeyDesc kLifKey{
    .table = kLifTable,
    .fetch = lifsvc_query_ifindex_to_lif,
    .row = LCACHE_STAT_LIF,
    .remaps = &lcache_stats_t::lif_remaps,
    .remap_cnt = &lcache_if_entry_t::lif_remap_cnt,
    .unchanged_clears = false,
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
            LC_TRACE("Creating lif entry for if-index 0x%x, iod %d, lif 0x%x\n", e.if_index,
                     e.iod, lif);
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
    count_update(LCACHE_STAT_IOD);
    uint32_t new_iod = LCACHE_NO_IOD;
    uint32_t status = netif_get_iod_frm_ifindex(entry.if_index, &new_iod);
    if (status == 0 && new_iod == entry.iod)
        return true;
    LC_ERROR_AS(kRefreshOp,
                "If->iod mapping changed for if-index 0x%x, entry->iod=%d, iod=%d, err: 0x%x\n",
                entry.if_index, entry.iod, new_iod, status);
    ++entry.iod_remap_cnt;
    // A failed query names no iod, so there is nothing to evict.
    if (status == 0)
        lcache_if_remove_entry_by_iod(new_iod);
    ++lcache.stats.iod_remaps;
    return false;
}

void count_remap(lcache_if_entry_t &entry, const KeyDesc &k) {
    ++(lcache.stats.*k.remaps);
    ++(entry.*k.remap_cnt);
}

// Moves the entry to the key the peer reports now, evicting any other
// entry that still holds that key.  A failed query means "no key".
void remap_key(lcache_if_entry_t &entry, const KeyDesc &k, bool first_fill) {
    const TableDesc &t = k.table;
    if (!(entry.dirty & t.sync_bit) || !table_in_service(t))
        return;
    uint32_t key = t.none;
    if (k.fetch(entry.if_index, &key) != 0)
        key = t.none;
    count_update(k.row);
    uint32_t &held = key_of(t, entry);
    if (k.unchanged_clears && !first_fill && key != t.none && held == key)
        entry.dirty &= ~t.sync_bit;
    if (held == key)
        return;
    if (!first_fill)
        k.trace_changed(entry, key);
    // A delete that fails leaves its entry in the table under its key: a
    // table never holds two entries under one key, so the insert is then
    // not attempted, and an entry that could not leave keeps its old key.
    bool removals_done = true;
    if (key != t.none) {
        if (lcache_if_entry_t *other = lookup(t, key)) {
            k.trace_stale_other(*other, key, entry);
            removals_done = delete_keyed_entry(t, other);
            count_remap(entry, k);
        }
    }
    if (held != t.none) {
        k.trace_stale_self(entry, held, key);
        removals_done = delete_keyed_entry(t, &entry) && removals_done;
        count_remap(entry, k);
    }
    if (key == t.none)
        return;
    k.trace_creating(entry, key);
    if (!removals_done) {
        k.report_insert_fail(entry, key);
        return;
    }
    held = key;
    if (insert_entry(t, &entry)) {
        entry.dirty &= ~t.sync_bit;
    } else {
        k.report_insert_fail(entry, key);
        held = t.none;
    }
}

// A port-channel's agg_if is its first operational member; other types
// have nothing to ask.
void refresh_agg_if(lcache_if_entry_t &entry, uint8_t type) {
    if (!(entry.dirty & LCACHE_ATTR_AGG_IF))
        return;
    if (type != IF_TYPE_PORT_CHANNEL) {
        entry.dirty &= ~LCACHE_ATTR_AGG_IF;
        return;
    }
    count_update(LCACHE_STAT_AGG_IF);
    if (agg_get_pc_mbr_ifidx_from_rbh(entry.if_index, 0, &entry.agg_if) == 0)
        entry.dirty &= ~LCACHE_ATTR_AGG_IF;
    uint32_t fop = 0;
    if (pc_first_operational_member(entry.if_index, &fop) == 0 && fop != 0) {
        entry.agg_if = fop;
        entry.dirty &= ~LCACHE_ATTR_AGG_IF;
    }
}

// A value the peer answers 0 for is not available yet: the bit stays so
// the next refresh asks again.
template <class T>
void refresh_value(lcache_if_entry_t &entry, uint32_t bit, lcache_stat_row_t row,
                   T lcache_if_entry_t::*field, uint32_t answer) {
    entry.*field = static_cast<T>(answer);
    count_update(row);
    if (entry.*field != 0)
        entry.dirty &= ~bit;
}

void refresh_extensions(lcache_if_entry_t &entry) {
    for (const ExtSlot &s : kExtSlots) {
        if (!(entry.dirty & s.bit) || !(lcache.attr.sync_mask & s.bit))
            continue;
        uint32_t value = fetch_ext_value(entry, s, lcache.attr.ext_key[s.index]);
        refresh_value(entry, s.bit, s.row, s.value, value);
    }
}

void refresh_mac(lcache_if_entry_t &entry) {
    static constexpr uint8_t kNoMac[6] = {};
    memcpy(entry.mac, lcache_get_if_src_mac_addr(entry.iod), sizeof entry.mac);
    count_update(LCACHE_STAT_MAC);
    if (memcmp(entry.mac, kNoMac, sizeof kNoMac) != 0)
        entry.dirty &= ~LCACHE_ATTR_MAC;
}

// Only an Ethernet port has a port mode worth keeping.
void refresh_port_mode(lcache_if_entry_t &entry, uint8_t type) {
    if (!(entry.dirty & LCACHE_ATTR_IPS) || type != IF_TYPE_ETH_PORT)
        return;
    uint32_t mode = 0;
    query_port_mode(entry.if_index, &mode);
    const bool ips = mode == NETIF_PORT_MODE_IPS;
    entry.flags =
        static_cast<uint8_t>(ips ? entry.flags | LCACHE_FLAG_IPS : entry.flags & ~LCACHE_FLAG_IPS);
    entry.dirty &= ~LCACHE_ATTR_IPS;
    count_update(LCACHE_STAT_IPS);
}

void refresh_vlan(lcache_if_entry_t &entry) {
    if (!(entry.dirty & LCACHE_ATTR_VLAN))
        return;
    const uint32_t is_vlan = netif_is_vlan(entry.iod);
    store_flag(entry, kIsVlanFlag, is_vlan);
    if (is_vlan) {
        entry.vlan = static_cast<uint16_t>(netif_get_if_vlanid(entry.iod));
        if (entry.dirty & LCACHE_ATTR_SUBIF)
            entry.agg_if = netif_get_sub_interface_parent(entry.iod);
    } else {
        fetch_port_vlan(entry);
    }
    entry.dirty &= ~LCACHE_ATTR_VLAN;
    count_update(LCACHE_STAT_VLAN);
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

void fetch_port_vlan(lcache_if_entry_t &entry) {
    if (!netif_is_switchport(entry.iod))
        return;
    netif_vlan_info_t info{};
    uint32_t word = 0;
    if (netif_get_vlan_info(entry.iod, &info, &word) == 1)
        entry.vlan = static_cast<uint16_t>(info.vlan);
}

int32_t refresh_entry(lcache_if_entry_t *entry, uint32_t option) {
    if (!lcache_enabled || !entry)
        return 0;
    lcache_if_entry_t &e = *entry;
    LC_TRACE("Lcache-update for if-index 0x%x, iod %d\n", e.if_index, e.iod);
    uint8_t type = 0;
    if (if_index_get_type(e.if_index, &type) != 0) {
        LC_ERROR_AS(kRefreshOp, "Invalid interface index 0x%x\n", e.if_index);
        return 0;
    }
    const bool first_fill = option != 0;
    // Without an iod table the entry has no iod to verify.
    if (!first_fill && (e.dirty & LCACHE_ATTR_IOD) && table_in_service(kIodTable) &&
        !iod_still_mapped(e))
        return 0;
    remap_key(e, kPiKey, first_fill);
    remap_key(e, kLifKey, first_fill);
    refresh_agg_if(e, type);
    refresh_flag(e, kSwitchportFlag);
    refresh_flag(e, kLinkupFlag);
    refresh_flag(e, kProtoupFlag);
    if (e.dirty & LCACHE_ATTR_ENCAP)
        refresh_value(e, LCACHE_ATTR_ENCAP, LCACHE_STAT_ENCAP, &lcache_if_entry_t::encap,
                      netif_get_if_encaptype(e.iod));
    refresh_flag(e, kSwitchingFlag);
    refresh_extensions(e);
    if (e.dirty & LCACHE_ATTR_MAC)
        refresh_mac(e);
    refresh_flag(e, kEthernetFlag);
    refresh_flag(e, kLoopbackFlag);
    refresh_flag(e, kP2pFlag);
    refresh_flag(e, kNullFlag);
    if (e.dirty & LCACHE_ATTR_CONTEXT)
        refresh_value(e, LCACHE_ATTR_CONTEXT, LCACHE_STAT_CONTEXT, &lcache_if_entry_t::ctx,
                      rtctx_if_get_context_id(e.iod));
    if (e.dirty & LCACHE_ATTR_BASE_TID)
        refresh_value(e, LCACHE_ATTR_BASE_TID, LCACHE_STAT_BASE_TID, &lcache_if_entry_t::tid,
                      rtctx_if_get_table_id(e.iod, RTCTX_AF_IPV4, "base"));
    refresh_port_mode(e, type);
    refresh_vlan(e);
    if (e.dirty & LCACHE_ATTR_MTU)
        refresh_value(e, LCACHE_ATTR_MTU, LCACHE_STAT_MTU, &lcache_if_entry_t::mtu,
                      netif_get_if_mtu(e.iod));
    e.dirty &= ~kRefreshedEveryTime;
    return 1;
}

} // namespace lc

extern "C" {

int32_t lcache_if_update_entry(lcache_if_entry_t *entry, uint32_t option) {
    return lc::refresh_entry(entry, option);
}

uint8_t *lcache_get_if_src_mac_addr(uint32_t iod) {
    static uint8_t src_mac[6];
    memset(src_mac, 0, sizeof src_mac);
    netif_get_if_src_mac_addr(iod, src_mac);
    return src_mac;
}
}
