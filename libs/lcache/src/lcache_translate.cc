// Identifier translations between ifindex, iod, port index and LIF, and the
// port-channel and port-mode facts of an interface.  A translation whose
// key attribute is dirty runs the whole refresh first: a stale key would
// also leave the entry in the wrong table.
#include "agg.h"
#include "dmap.h"
#include "if_index.h"
#include "lcache_create.h"
#include "lcache_refresh.h"
#include "lcache_tables.h"
#include "lifsvc.h"

namespace lc {

namespace {

struct Translation {
    uint32_t key_bit; // gate in sync_mask, and the dirty bit that refreshes
    lcache_stat_row_t row;
    uint64_t lcache_stats_t::*key_refreshes;
    uint32_t refresh_failed; // status when that refresh finds the entry stale
    lcache_if_entry_t *(*find)(uint32_t key);
    uint32_t (*peer)(uint32_t key, uint32_t *out);
    uint32_t lcache_if_entry_t::*answer;
};

lcache_if_entry_t *find_by_if_only(uint32_t if_index) { return lookup(kIfTable, if_index); }

lcache_if_entry_t *find_by_pi(uint32_t pi) {
    return lcache.attr.create_on_miss ? create_entry_by_pi(pi) : lookup(kPiTable, pi);
}

lcache_if_entry_t *find_by_lif(uint32_t lif) {
    return lcache.attr.create_on_miss ? create_entry_by_lif(lif) : lookup(kLifTable, lif);
}

const Translation kIfindexFromIod{
    .key_bit = LCACHE_ATTR_IOD,
    .row = LCACHE_STAT_IOD,
    .key_refreshes = &lcache_stats_t::upd_iod,
    .refresh_failed = LCACHE_ERR_IOD_REFRESH,
    .find = find_entry_by_iod,
    .peer = netif_get_ifindex_frm_iod,
    .answer = &lcache_if_entry_t::if_index,
};
// Never creates: the iod is what a creation would have to ask for.
const Translation kIodFromIfindex{
    .key_bit = LCACHE_ATTR_IOD,
    .row = LCACHE_STAT_IOD,
    .key_refreshes = &lcache_stats_t::upd_iod,
    .refresh_failed = LCACHE_ERR_IOD_REFRESH,
    .find = find_by_if_only,
    .peer = netif_get_iod_frm_ifindex,
    .answer = &lcache_if_entry_t::iod,
};
const Translation kIfindexFromSi{
    .key_bit = LCACHE_ATTR_PI,
    .row = LCACHE_STAT_PI,
    .key_refreshes = &lcache_stats_t::upd_pi,
    .refresh_failed = LCACHE_ERR_PI_REFRESH,
    .find = find_by_pi,
    .peer = dmap_lib_si_to_ifidx,
    .answer = &lcache_if_entry_t::if_index,
};
const Translation kDiFromIfindex{
    .key_bit = LCACHE_ATTR_PI,
    .row = LCACHE_STAT_PI,
    .key_refreshes = &lcache_stats_t::upd_pi,
    .refresh_failed = LCACHE_ERR_PI_REFRESH,
    .find = find_entry_by_if,
    .peer = dmap_lib_ifidx_to_di,
    .answer = &lcache_if_entry_t::pi,
};
const Translation kIfindexFromLif{
    .key_bit = LCACHE_ATTR_LIF,
    .row = LCACHE_STAT_LIF,
    .key_refreshes = &lcache_stats_t::upd_lif,
    .refresh_failed = LCACHE_ERR_LIF_REFRESH,
    .find = find_by_lif,
    .peer = lifsvc_query_lif_to_ifindex,
    .answer = &lcache_if_entry_t::if_index,
};
const Translation kLifFromIfindex{
    .key_bit = LCACHE_ATTR_LIF,
    .row = LCACHE_STAT_LIF,
    .key_refreshes = &lcache_stats_t::upd_lif,
    .refresh_failed = LCACHE_ERR_LIF_REFRESH,
    .find = find_entry_by_if,
    .peer = lifsvc_query_ifindex_to_lif,
    .answer = &lcache_if_entry_t::lif,
};

uint32_t translate(const Translation &t, uint32_t key, uint32_t *out) {
    if (!out)
        return LCACHE_ERR_NULL_ARG;
    lcache_if_entry_t *entry = (lcache.attr.sync_mask & t.key_bit) ? t.find(key) : nullptr;
    if (!entry) {
        ++lcache.stats.misses[t.row];
        return t.peer(key, out);
    }
    if (entry->dirty & t.key_bit) {
        ++lcache.stats.misses[t.row];
        ++(lcache.stats.*t.key_refreshes);
        if (!refresh_entry(entry, 0))
            return t.refresh_failed;
    } else {
        ++lcache.stats.hits[t.row];
    }
    *out = entry->*t.answer;
    return 0;
}

// The entry that may answer a port-channel or port-mode question, or NULL
// (counting the miss) when the caller must ask the peer.
lcache_if_entry_t *serving_entry_by_if(uint32_t if_index, bool gate, lcache_stat_row_t row) {
    if (gate)
        if (lcache_if_entry_t *entry = find_entry_by_if(if_index))
            return entry;
    ++lcache.stats.misses[row];
    return nullptr;
}

// The first operational member asked of the port-channel manager; a
// member of 0 is no answer.
uint32_t ask_fop(uint32_t if_index, uint32_t *fop) {
    uint32_t member = 0;
    uint32_t status = pc_first_operational_member(if_index, &member);
    if (status != 0)
        return status;
    if (member == 0)
        return LCACHE_ERR_IOD_REFRESH;
    *fop = member;
    return 0;
}

} // namespace

} // namespace lc

extern "C" {

uint32_t lcache_netif_get_ifindex_frm_iod(uint32_t iod, uint32_t *if_index) {
    return lc::translate(lc::kIfindexFromIod, iod, if_index);
}
uint32_t lcache_netif_get_iod_frm_ifindex(uint32_t if_index, uint32_t *iod) {
    return lc::translate(lc::kIodFromIfindex, if_index, iod);
}
uint32_t lcache_dmap_lib_si_to_ifidx(uint32_t si, uint32_t *if_index) {
    return lc::translate(lc::kIfindexFromSi, si, if_index);
}
uint32_t lcache_dmap_lib_ifidx_to_di(uint32_t if_index, uint32_t *di) {
    return lc::translate(lc::kDiFromIfindex, if_index, di);
}
uint32_t lcache_lifsvc_query_lif_to_ifindex(uint32_t lif, uint32_t *if_index) {
    return lc::translate(lc::kIfindexFromLif, lif, if_index);
}
uint32_t lcache_lifsvc_query_ifindex_to_lif(uint32_t if_index, uint32_t *lif) {
    return lc::translate(lc::kLifFromIfindex, if_index, lif);
}

// Only the member for hash 0 is cached: it is the first operational one.
uint32_t lcache_agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint8_t hash, uint32_t *member) {
    if (!member)
        return LCACHE_ERR_NULL_ARG;
    const bool gate = (lcache.attr.sync_mask & LCACHE_ATTR_AGG_IF) && hash == 0;
    lcache_if_entry_t *entry = lc::serving_entry_by_if(if_index, gate, LCACHE_STAT_AGG_IF);
    if (!entry)
        return agg_get_pc_mbr_ifidx_from_rbh(if_index, hash, member);
    if ((entry->dirty & LCACHE_ATTR_AGG_IF) || entry->agg_if == 0) {
        ++lcache.stats.misses[LCACHE_STAT_AGG_IF];
        uint32_t status = agg_get_pc_mbr_ifidx_from_rbh(if_index, 0, &entry->agg_if);
        if (status != 0)
            return status;
        entry->dirty &= ~LCACHE_ATTR_AGG_IF;
    } else {
        ++lcache.stats.hits[LCACHE_STAT_AGG_IF];
    }
    *member = entry->agg_if;
    return 0;
}

uint32_t lcache_agg_get_fop(uint32_t if_index, uint32_t *fop) {
    if (!fop)
        return LCACHE_ERR_NULL_ARG;
    const bool gate = lcache.attr.sync_mask & LCACHE_ATTR_AGG_IF;
    lcache_if_entry_t *entry = lc::serving_entry_by_if(if_index, gate, LCACHE_STAT_AGG_IF);
    if (!entry)
        return lc::ask_fop(if_index, fop);
    if (!(entry->dirty & LCACHE_ATTR_AGG_IF) && entry->agg_if != 0) {
        ++lcache.stats.hits[LCACHE_STAT_AGG_IF];
        *fop = entry->agg_if;
        return 0;
    }
    ++lcache.stats.misses[LCACHE_STAT_AGG_IF];
    uint32_t status = lc::ask_fop(if_index, &entry->agg_if);
    if (status == 0) {
        entry->dirty &= ~LCACHE_ATTR_AGG_IF;
        *fop = entry->agg_if;
    }
    return status;
}

// Served from the ips flag, so a cached answer is the ips mode or 0.
uint32_t lcache_phyport_gldb_get_ifindex_port_mode(uint32_t if_index, uint32_t *mode) {
    if (!mode)
        return LCACHE_ERR_NULL_ARG;
    const bool gate = lcache.attr.sync_mask & LCACHE_ATTR_IPS;
    lcache_if_entry_t *entry = lc::serving_entry_by_if(if_index, gate, LCACHE_STAT_IPS);
    if (!entry)
        return lc::query_port_mode(if_index, mode);
    if (entry->dirty & LCACHE_ATTR_IPS) {
        ++lcache.stats.misses[LCACHE_STAT_IPS];
        uint8_t type = 0;
        if (if_index_get_type(if_index, &type) != 0) {
            LC_ERROR(" Invalid interface index 0x%x\n", if_index);
            return LCACHE_ERR_BAD_IFINDEX;
        }
        uint32_t peer_mode = 0;
        if (type == IF_TYPE_ETH_PORT)
            lc::query_port_mode(if_index, &peer_mode);
        entry->flags = static_cast<uint8_t>(peer_mode == NETIF_PORT_MODE_IPS
                                                ? entry->flags | LCACHE_FLAG_IPS
                                                : entry->flags & ~LCACHE_FLAG_IPS);
        entry->dirty &= ~LCACHE_ATTR_IPS;
    } else {
        ++lcache.stats.hits[LCACHE_STAT_IPS];
    }
    *mode = (entry->flags & LCACHE_FLAG_IPS) ? NETIF_PORT_MODE_IPS : 0;
    return 0;
}
}
