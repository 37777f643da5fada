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

// What a translation's gate and refresh depend on: the key it reads.
struct KeyGate {
    uint32_t bit; // gate in sync_mask, and the dirty bit that refreshes
    lcache_stat_row_t row;
    uint64_t lcache_stats_t::*refreshes;
    uint32_t refresh_failed; // status when that refresh finds the entry stale
};

// clang-format off
constexpr KeyGate kIodGate{LCACHE_ATTR_IOD, LCACHE_STAT_IOD, &lcache_stats_t::upd_iod, LCACHE_ERR_IOD_REFRESH};
constexpr KeyGate kPiGate{LCACHE_ATTR_PI, LCACHE_STAT_PI, &lcache_stats_t::upd_pi, LCACHE_ERR_PI_REFRESH};
constexpr KeyGate kLifGate{LCACHE_ATTR_LIF, LCACHE_STAT_LIF, &lcache_stats_t::upd_lif, LCACHE_ERR_LIF_REFRESH};
// clang-format on

struct Translation {
    KeyGate gate;
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

// The iod-to-ifindex direction never creates: the iod is what a creation
// would have to ask for.
using E = lcache_if_entry_t;
// clang-format off
constexpr Translation kIfindexFromIod{kIodGate, find_entry_by_iod, netif_get_ifindex_frm_iod,   &E::if_index};
constexpr Translation kIodFromIfindex{kIodGate, find_by_if_only,   netif_get_iod_frm_ifindex,   &E::iod};
constexpr Translation kIfindexFromSi{kPiGate,   find_by_pi,        dmap_lib_si_to_ifidx,        &E::if_index};
constexpr Translation kDiFromIfindex{kPiGate,   find_entry_by_if,  dmap_lib_ifidx_to_di,        &E::pi};
constexpr Translation kIfindexFromLif{kLifGate, find_by_lif,       lifsvc_query_lif_to_ifindex, &E::if_index};
constexpr Translation kLifFromIfindex{kLifGate, find_entry_by_if,  lifsvc_query_ifindex_to_lif, &E::lif};
// clang-format on

// Inlined into each exported translation, so that its table row is
// constants there and a hit makes no call but the lookup.
[[gnu::always_inline]] inline uint32_t translate(const Translation &t, uint32_t key,
                                                 uint32_t *out) {
    if (!out)
        return LCACHE_ERR_NULL_ARG;
    const KeyGate &g = t.gate;
    lcache_if_entry_t *entry = (lcache.attr.sync_mask & g.bit) ? t.find(key) : nullptr;
    if (!entry) {
        ++lcache.stats.misses[g.row];
        return t.peer(key, out);
    }
    if (entry->dirty & g.bit) {
        ++lcache.stats.misses[g.row];
        ++(lcache.stats.*g.refreshes);
        if (!refresh_entry(entry, 0))
            return g.refresh_failed;
    } else {
        ++lcache.stats.hits[g.row];
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

// The first operational member of the port-channel, kept in agg_if: `ask`
// answers a miss and fills a stale or empty (0) value.
uint32_t cached_member(uint32_t if_index, uint32_t *member,
                       uint32_t (*ask)(uint32_t if_index, uint32_t *member)) {
    const bool gate = lcache.attr.sync_mask & LCACHE_ATTR_AGG_IF;
    lcache_if_entry_t *entry = serving_entry_by_if(if_index, gate, LCACHE_STAT_AGG_IF);
    if (!entry)
        return ask(if_index, member);
    if ((entry->dirty & LCACHE_ATTR_AGG_IF) || entry->agg_if == 0) {
        ++lcache.stats.misses[LCACHE_STAT_AGG_IF];
        uint32_t status = ask(if_index, &entry->agg_if);
        if (status != 0)
            return status;
        entry->dirty &= ~LCACHE_ATTR_AGG_IF;
    } else {
        ++lcache.stats.hits[LCACHE_STAT_AGG_IF];
    }
    *member = entry->agg_if;
    return 0;
}

} // namespace

} // namespace lc

extern "C" {

#define LC_TRANSLATION(name, t)                                                                    \
    uint32_t name(uint32_t key, uint32_t *out) { return lc::translate(lc::t, key, out); }

LC_TRANSLATION(lcache_netif_get_ifindex_frm_iod, kIfindexFromIod)
LC_TRANSLATION(lcache_netif_get_iod_frm_ifindex, kIodFromIfindex)
LC_TRANSLATION(lcache_dmap_lib_si_to_ifidx, kIfindexFromSi)
LC_TRANSLATION(lcache_dmap_lib_ifidx_to_di, kDiFromIfindex)
LC_TRANSLATION(lcache_lifsvc_query_lif_to_ifindex, kIfindexFromLif)
LC_TRANSLATION(lcache_lifsvc_query_ifindex_to_lif, kLifFromIfindex)
#undef LC_TRANSLATION

// Only the member for hash 0 is cached: it is the first operational one.
uint32_t lcache_agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint8_t hash, uint32_t *member) {
    if (!member)
        return LCACHE_ERR_NULL_ARG;
    if (hash != 0) {
        ++lcache.stats.misses[LCACHE_STAT_AGG_IF];
        return agg_get_pc_mbr_ifidx_from_rbh(if_index, hash, member);
    }
    return lc::cached_member(if_index, member, [](uint32_t pc, uint32_t *first) {
        return agg_get_pc_mbr_ifidx_from_rbh(pc, 0, first);
    });
}

uint32_t lcache_agg_get_fop(uint32_t if_index, uint32_t *fop) {
    if (!fop)
        return LCACHE_ERR_NULL_ARG;
    return lc::cached_member(if_index, fop, lc::ask_fop);
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
