// SPDX-License-Identifier: MIT
// Identifier translations between ifindex, iod, port index and LIF, and the
// port-channel and port-mode facts of an interface.  A translation whose
// key attribute is dirty runs the whole refresh first: a stale key would
// also leave the entry in the wrong table.
#include "agg.h"
#include "if_index.h"
#include "lcache_attrs.h"
#include "lcache_key_attrs.h"
#include "lcache_query.h"
#include "lcache_refresh.h"

namespace lc {

namespace {

using E = lcache_if_entry_t;

struct Translation {
    const KeyAttr &key; // gates, counts, and refreshes the entry when stale
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
// clang-format off
constexpr Translation kIfindexFromIod{kIodKey, find_entry_by_iod, netif_get_ifindex_frm_iod,   &E::if_index};
constexpr Translation kIodFromIfindex{kIodKey, find_by_if_only,   kIodKey.peer,                &E::iod};
constexpr Translation kIfindexFromSi{kPiKey,   find_by_pi,        dmap_lib_si_to_ifidx,        &E::if_index};
constexpr Translation kDiFromIfindex{kPiKey,   find_entry_by_if,  kPiKey.peer,                 &E::pi};
constexpr Translation kIfindexFromLif{kLifKey, find_by_lif,       lifsvc_query_lif_to_ifindex, &E::if_index};
constexpr Translation kLifFromIfindex{kLifKey, find_entry_by_if,  kLifKey.peer,                &E::lif};
// clang-format on

// Inlined into each exported translation, so that its table row is
// constants there and a hit makes no call but the lookup.
[[gnu::always_inline]] inline uint32_t translate(const Translation &t, uint32_t key,
                                                 uint32_t *out) {
    if (!out)
        return LCACHE_ERR_NULL_ARG;
    const KeyAttr &k = t.key;
    bool refresh_failed = false;
    lcache_if_entry_t *entry = serve(
        kept(k), k.row, [&t, key] { return t.find(key); },
        [&k](const lcache_if_entry_t &e) { return is_dirty(e, k); },
        [&k, &refresh_failed](lcache_if_entry_t &e) {
            ++(lcache.stats.*k.refreshes);
            refresh_failed = !refresh_entry(&e, 0);
        });
    if (!entry)
        return t.peer(key, out);
    if (refresh_failed)
        return k.refresh_failed;
    *out = entry->*t.answer;
    return 0;
}

// The entry that answers a question about the port-channel or port of
// `if_index`, as serve gives it.
template <class Stale, class Fetch>
lcache_if_entry_t *serve_by_if(bool open, lcache_stat_row_t row, uint32_t if_index, Stale stale,
                               Fetch fetch) {
    return serve(
        open, row, [if_index] { return find_entry_by_if(if_index); }, stale, fetch);
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
uint32_t cached_member(bool open, uint32_t if_index, uint32_t *member,
                       uint32_t (*ask)(uint32_t if_index, uint32_t *member)) {
    uint32_t status = 0;
    lcache_if_entry_t *entry = serve_by_if(
        open && kept(kAggIf), kAggIf.row, if_index,
        [](const lcache_if_entry_t &e) { return is_dirty(e, kAggIf) || empty(e, kAggIf.field); },
        [&](lcache_if_entry_t &e) {
            // What the peer writes stays, whatever its status.
            uint32_t fetched = read(e, kAggIf);
            status = ask(if_index, &fetched);
            store(e, kAggIf, fetched);
            if (status == 0)
                settle(e, kAggIf, kAggIf.queried);
        });
    if (!entry)
        return ask(if_index, member);
    if (status != 0)
        return status;
    *member = read(*entry, kAggIf);
    return 0;
}

uint32_t first_member(uint32_t if_index, uint32_t *member) {
    return agg_get_pc_mbr_ifidx_from_rbh(if_index, 0, member);
}

// The port mode, served from the ips flag: the ips mode or 0.
uint32_t port_mode_query(uint32_t if_index, uint32_t *mode) {
    bool unclassified = false;
    lcache_if_entry_t *entry = serve_by_if(
        kept(kIps), kIps.row, if_index, kStaleWhileDirty<kIps>, [&](lcache_if_entry_t &e) {
            uint8_t type = 0;
            if (if_index_get_type(if_index, &type) != 0) {
                LC_ERROR_AS("lcache_phyport_gldb_get_ifindex_port_mode",
                            " Invalid interface index 0x%x\n", if_index);
                unclassified = true;
                return;
            }
            uint32_t peer_mode = 0;
            if (type == IF_TYPE_ETH_PORT)
                query_port_mode(if_index, &peer_mode);
            take(e, kIps, peer_mode == NETIF_PORT_MODE_IPS, kIps.queried);
        });
    if (!entry)
        return query_port_mode(if_index, mode);
    if (unclassified)
        return LCACHE_ERR_BAD_IFINDEX;
    *mode = read(*entry, kIps) ? NETIF_PORT_MODE_IPS : 0;
    return 0;
}

} // namespace

uint32_t ifindex_from_si(uint32_t si, uint32_t *if_index) {
    return translate(kIfindexFromSi, si, if_index);
}

uint32_t iod_from_ifindex(uint32_t if_index, uint32_t *iod) {
    return translate(kIodFromIfindex, if_index, iod);
}

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
    return lc::cached_member(true, if_index, member, lc::first_member);
}

uint32_t lcache_agg_get_fop(uint32_t if_index, uint32_t *fop) {
    if (!fop)
        return LCACHE_ERR_NULL_ARG;
    return lc::cached_member(true, if_index, fop, lc::ask_fop);
}

uint32_t lcache_phyport_gldb_get_ifindex_port_mode(uint32_t if_index, uint32_t *mode) {
    if (!mode)
        return LCACHE_ERR_NULL_ARG;
    return lc::port_mode_query(if_index, mode);
}
}
