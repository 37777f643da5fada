// SPDX-License-Identifier: MIT
// The layer-2 summary of a port in one call.
#include "dmap.h"
#include "lcache_key_attrs.h"
#include "lcache_query.h"
#include "lcache_refresh.h"

namespace lc {

namespace {

struct L2Info {
    uint32_t *if_index, *iod, *linkup;
    uint16_t *encap;
    uint32_t *switchport, *switching, *protoup, *ext;
};

// Fills the outputs of a translated port through the cache's own queries.
uint32_t fill_through_queries(const L2Info &out) {
    iod_from_ifindex(*out.if_index, out.iod);
    const uint32_t iod = *out.iod;
    *out.linkup = attr_query<kLinkup>(iod);
    *out.encap = attr_query<kEncap>(iod);
    *out.switchport = attr_query<kSwitchport>(iod);
    *out.switching = attr_query<kSwitching>(iod);
    *out.protoup = attr_query<kProtoup>(iod);
    uint32_t size = 0;
    *out.ext = private_data_query(iod, lcache.attr.ext_key[0], &size);
    return 0;
}

// The switchport and switching flags are refetched when dirty but stay
// dirty: this summary never settles them.
template <class Row> void refetch_unsettled(lcache_if_entry_t &entry, const Row &a) {
    if (!is_dirty(entry, a))
        return;
    store(entry, a, ask(entry, a));
    count_update(a);
}

// The link state and the encapsulation are refetched as the refresh does.
uint32_t fill_from_entry(lcache_if_entry_t &entry, const L2Info &out) {
    *out.if_index = entry.if_index;
    *out.iod = entry.iod;
    refresh_attr(entry, kLinkup);
    *out.linkup = read(entry, kLinkup);
    refresh_attr(entry, kProtoup);
    *out.protoup = read(entry, kProtoup);
    refresh_attr(entry, kEncap);
    *out.encap = read(entry, kEncap);
    refetch_unsettled(entry, kSwitchport);
    refetch_unsettled(entry, kSwitching);
    *out.switchport = read(entry, kSwitchport);
    *out.switching = read(entry, kSwitching);

    // Extension 0 is refetched whenever dirty, whatever sync_mask keeps.
    serve(
        true, kExt.row, [&entry] { return &entry; }, kStaleWhileDirty<kExt>,
        [](lcache_if_entry_t &e) { store(e, kExt, ask(e, kExt)); });
    settle(entry, kExt, kExt.queried);
    *out.ext = read(entry, kExt);
    return 0;
}

// The port of `pi`, counted in the pi row: found (or created), refreshed
// first when its pi is stale.  NULL when the peers must answer.
lcache_if_entry_t *port_entry(uint32_t pi, bool *refresh_failed) {
    return serve(
        true, kPiKey.row,
        [pi] { return lcache.attr.create_on_miss ? create_entry_by_pi(pi) : lookup(kPiTable, pi); },
        [](const lcache_if_entry_t &e) { return is_dirty(e, kPiKey); },
        [refresh_failed](lcache_if_entry_t &e) {
            ++(lcache.stats.*kPiKey.refreshes);
            *refresh_failed = !refresh_entry(&e, 0);
        });
}

} // namespace

} // namespace lc

extern "C" uint32_t lcache_get_if_l2_info_by_pi(uint32_t pi, uint32_t *if_index, uint32_t *iod,
                                                uint32_t *linkup, uint16_t *encap,
                                                uint32_t *switchport, uint32_t *switching,
                                                uint32_t *protoup, uint32_t *ext) {
    if (!if_index || !iod || !linkup || !encap || !switchport || !switching || !protoup || !ext)
        return LCACHE_ERR_NULL_ARG;
    const lc::ChangeScope op;
    const lc::L2Info out{if_index, iod, linkup, encap, switchport, switching, protoup, ext};
    if (!lcache_enabled) {
        if (lc::ifindex_from_si(pi, if_index) != 0)
            return LCACHE_ERR_PI_REFRESH;
        return lc::fill_through_queries(out);
    }
    bool refresh_failed = false;
    lcache_if_entry_t *entry = lc::port_entry(pi, &refresh_failed);
    if (!entry) {
        if (dmap_lib_si_to_ifidx(pi, if_index) != 0)
            return LCACHE_ERR_PI_REFRESH;
        return lc::fill_through_queries(out);
    }
    if (refresh_failed)
        return lc::kPiKey.refresh_failed;
    return lc::fill_from_entry(*entry, out);
}
