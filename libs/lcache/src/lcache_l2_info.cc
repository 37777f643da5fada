// The layer-2 summary of a port in one call.
#include "dmap.h"
#include "lcache_attrs.h"
#include "lcache_create.h"
#include "lcache_refresh.h"
#include "lcache_tables.h"

namespace lc {

namespace {

struct L2Info {
    uint32_t *if_index, *iod, *linkup;
    uint16_t *encap;
    uint32_t *switchport, *switching, *protoup, *ext;
};

// Fills the outputs of a translated port through the cache's own queries.
uint32_t fill_through_queries(const L2Info &out) {
    lcache_netif_get_iod_frm_ifindex(*out.if_index, out.iod);
    const uint32_t iod = *out.iod;
    *out.linkup = lcache_netif_is_linkup(iod);
    *out.encap = lcache_netif_get_if_encaptype(iod);
    *out.switchport = lcache_netif_is_switchport(iod);
    *out.switching = lcache_netif_is_switching_enabled_on_iod(iod);
    *out.protoup = lcache_netif_is_protoup(iod);
    uint32_t size = 0;
    *out.ext = lcache_netif_get_private_data(iod, lcache.attr.ext_key[0], &size);
    return 0;
}

// The switchport and switching flags are refetched when dirty but stay
// dirty: this summary never settles them.
void refetch_unsettled(lcache_if_entry_t &entry, const FlagAttr &f) {
    if (!(entry.dirty & f.bit))
        return;
    store_flag(entry, f, f.peer(entry.iod));
    count_update(f.row);
}

uint32_t fill_from_entry(lcache_if_entry_t &entry, const L2Info &out) {
    *out.if_index = entry.if_index;
    *out.iod = entry.iod;
    refresh_flag(entry, kLinkupFlag);
    *out.linkup = read_flag(entry, kLinkupFlag);
    refresh_flag(entry, kProtoupFlag);
    *out.protoup = read_flag(entry, kProtoupFlag);
    if (entry.dirty & LCACHE_ATTR_ENCAP) {
        entry.encap = static_cast<uint16_t>(netif_get_if_encaptype(entry.iod));
        count_update(LCACHE_STAT_ENCAP);
        if (entry.encap != 0)
            entry.dirty &= ~LCACHE_ATTR_ENCAP;
    }
    *out.encap = entry.encap;
    refetch_unsettled(entry, kSwitchportFlag);
    refetch_unsettled(entry, kSwitchingFlag);
    *out.switchport = read_flag(entry, kSwitchportFlag);
    *out.switching = read_flag(entry, kSwitchingFlag);

    // Extension 0 is refetched whenever dirty, whatever sync_mask keeps.
    const ExtSlot &s = kExtSlots[0];
    if (entry.dirty & s.bit) {
        ++lcache.stats.misses[s.row];
        entry.extn = fetch_ext_value(entry, s, lcache.attr.ext_key[0]);
    } else {
        ++lcache.stats.hits[s.row];
    }
    *out.ext = settle_ext(entry, s);
    return 0;
}

} // namespace

} // namespace lc

extern "C" uint32_t lcache_get_if_l2_info_by_pi(uint32_t pi, uint32_t *if_index, uint32_t *iod,
                                                uint32_t *linkup, uint16_t *encap,
                                                uint32_t *switchport, uint32_t *switching,
                                                uint32_t *protoup, uint32_t *ext) {
    if (!if_index || !iod || !linkup || !encap || !switchport || !switching || !protoup || !ext)
        return LCACHE_ERR_NULL_ARG;
    const lc::L2Info out{if_index, iod, linkup, encap, switchport, switching, protoup, ext};
    if (!lcache_enabled) {
        if (lcache_dmap_lib_si_to_ifidx(pi, if_index) != 0)
            return LCACHE_ERR_PI_REFRESH;
        return lc::fill_through_queries(out);
    }
    lcache_if_entry_t *entry =
        lcache.attr.create_on_miss ? lc::create_entry_by_pi(pi) : lc::lookup(lc::kPiTable, pi);
    if (!entry) {
        ++lcache.stats.misses[LCACHE_STAT_PI];
        if (dmap_lib_si_to_ifidx(pi, if_index) != 0)
            return LCACHE_ERR_PI_REFRESH;
        return lc::fill_through_queries(out);
    }
    if (entry->dirty & LCACHE_ATTR_PI) {
        ++lcache.stats.misses[LCACHE_STAT_PI];
        ++lcache.stats.upd_pi;
        if (!lc::refresh_entry(entry, 0))
            return LCACHE_ERR_PI_REFRESH;
    } else {
        ++lcache.stats.hits[LCACHE_STAT_PI];
    }
    return lc::fill_from_entry(*entry, out);
}
