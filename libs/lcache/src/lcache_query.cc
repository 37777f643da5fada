// Attribute queries: drop-in replacements for the interface manager's own
// queries.  A clean cached attribute is answered from the entry; a closed
// gate or a missing entry passes the question to the peer; a dirty
// attribute is fetched once, stored and answered from the entry.
#include <cstring>

#include "hostctl.h"
#include "if_index.h"
#include "lcache_attrs.h"
#include "lcache_create.h"
#include "lcache_refresh.h"

namespace lc {

namespace {

uint64_t &misses(lcache_stat_row_t row) { return lcache.stats.misses[row]; }

template <const FlagAttr &F> uint32_t flag_query(uint32_t iod) {
    lcache_if_entry_t *entry = serving_entry(iod, F.bit, F.row);
    if (!entry)
        return F.peer(iod);
    if (must_fetch(*entry, F.bit, F.row))
        fetch_flag(*entry, F);
    return read_flag(*entry, F);
}

// A 16-bit value; `zero_is_final` says whether a fetched 0 settles it.
template <uint32_t Bit, lcache_stat_row_t Row, uint16_t lcache_if_entry_t::*Field,
          uint32_t (*Peer)(uint32_t), bool ZeroIsFinal>
uint16_t value_query(uint32_t iod) {
    lcache_if_entry_t *entry = serving_entry(iod, Bit, Row);
    if (!entry)
        return static_cast<uint16_t>(Peer(iod));
    if (must_fetch(*entry, Bit, Row)) {
        entry->*Field = static_cast<uint16_t>(Peer(entry->iod));
        if (ZeroIsFinal || entry->*Field != 0)
            entry->dirty &= ~Bit;
    }
    return entry->*Field;
}

// The interface-type tests answer from the type the entry was created
// with, counting nothing; the peer is asked (and counted) otherwise.
template <uint8_t Type, uint32_t (*Peer)(uint32_t)> uint32_t type_query(uint32_t iod) {
    if (all_set(lcache.attr.sync_mask, LCACHE_ATTR_IF_TYPE | LCACHE_ATTR_IOD))
        if (lcache_if_entry_t *entry = find_entry_by_iod(iod))
            return entry->if_type == Type;
    ++misses(LCACHE_STAT_PASSTHROUGH);
    return Peer(iod);
}

// Refetches the MAC of a dirty entry; an all-zero MAC is not final.
lcache_if_entry_t *entry_with_mac(uint32_t iod) {
    lcache_if_entry_t *entry = serving_entry(iod, LCACHE_ATTR_MAC, LCACHE_STAT_MAC);
    if (entry && must_fetch(*entry, LCACHE_ATTR_MAC, LCACHE_STAT_MAC)) {
        static constexpr uint8_t kNoMac[6] = {};
        memcpy(entry->mac, lcache_get_if_src_mac_addr(iod), sizeof entry->mac);
        if (memcmp(entry->mac, kNoMac, sizeof kNoMac) != 0)
            entry->dirty &= ~LCACHE_ATTR_MAC;
    }
    return entry;
}

} // namespace

} // namespace lc

using lc::must_fetch;
using lc::serving_entry;

extern "C" {

uint32_t lcache_netif_is_switchport(uint32_t iod) {
    return lc::flag_query<lc::kSwitchportFlag>(iod);
}
uint32_t lcache_netif_is_switching_enabled_on_iod(uint32_t iod) {
    return lc::flag_query<lc::kSwitchingFlag>(iod);
}
uint32_t lcache_netif_is_linkup(uint32_t iod) { return lc::flag_query<lc::kLinkupFlag>(iod); }
uint32_t lcache_netif_is_protoup(uint32_t iod) { return lc::flag_query<lc::kProtoupFlag>(iod); }
uint32_t lcache_netif_is_ethernet(uint32_t iod) { return lc::flag_query<lc::kEthernetFlag>(iod); }
uint32_t lcache_netif_is_vlan(uint32_t iod) { return lc::flag_query<lc::kIsVlanFlag>(iod); }
uint32_t lcache_netif_is_null0(uint32_t iod) { return lc::flag_query<lc::kNullFlag>(iod); }
uint32_t lcache_netif_is_native_p2p(uint32_t iod) { return lc::flag_query<lc::kP2pFlag>(iod); }
uint32_t lcache_netif_is_loopback(uint32_t iod) { return lc::flag_query<lc::kLoopbackFlag>(iod); }

uint16_t lcache_netif_get_if_encaptype(uint32_t iod) {
    return lc::value_query<LCACHE_ATTR_ENCAP, LCACHE_STAT_ENCAP, &lcache_if_entry_t::encap,
                           netif_get_if_encaptype, false>(iod);
}

// Unlike the refresh, the query takes an MTU of 0 as the answer.
uint16_t lcache_netif_get_if_mtu(uint32_t iod) {
    return lc::value_query<LCACHE_ATTR_MTU, LCACHE_STAT_MTU, &lcache_if_entry_t::mtu,
                           netif_get_if_mtu, true>(iod);
}

uint16_t lcache_netif_get_if_vlanid(uint32_t iod) {
    lcache_if_entry_t *entry = serving_entry(iod, LCACHE_ATTR_VLAN, LCACHE_STAT_VLAN);
    if (!entry)
        return static_cast<uint16_t>(netif_get_if_vlanid(iod));
    if (must_fetch(*entry, LCACHE_ATTR_VLAN, LCACHE_STAT_VLAN)) {
        if (netif_is_vlan(iod))
            entry->vlan = static_cast<uint16_t>(netif_get_if_vlanid(iod));
        else
            lc::fetch_port_vlan(*entry);
        entry->dirty &= ~LCACHE_ATTR_VLAN;
    }
    return entry->vlan;
}

// The cached answer is always valid: a failed refetch caches VLAN 0.
uint32_t lcache_netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info, uint32_t *word) {
    if (!info || !word)
        return 0;
    lcache_if_entry_t *entry = serving_entry(iod, LCACHE_ATTR_VLAN, LCACHE_STAT_VLAN);
    if (!entry)
        return netif_get_vlan_info(iod, info, word);
    if (must_fetch(*entry, LCACHE_ATTR_VLAN, LCACHE_STAT_VLAN)) {
        entry->vlan = 0;
        if (netif_get_vlan_info(iod, info, word) == 1) {
            entry->vlan = static_cast<uint16_t>(info->vlan);
            entry->vlan_info = *word;
        }
        entry->dirty &= ~LCACHE_ATTR_VLAN;
    }
    info->slice = hostctl_slice_get();
    info->vlan = entry->vlan;
    *word = entry->vlan_info;
    return 1;
}

uint8_t *lcache_netif_get_if_mac_addr(uint32_t iod) {
    lcache_if_entry_t *entry = lc::entry_with_mac(iod);
    return entry ? entry->mac : lcache_get_if_src_mac_addr(iod);
}

uint32_t lcache_netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac) {
    if (!mac)
        return 0;
    lcache_if_entry_t *entry = lc::entry_with_mac(iod);
    if (!entry)
        return netif_is_if_mac_addr(iod, mac);
    return memcmp(mac, entry->mac, sizeof entry->mac) == 0;
}

// Names are never stored: a cached name query asks by ifindex into a ring
// of ten buffers, so a name stays valid for ten further name queries.
const char *lcache_netif_get_if_name(uint32_t iod) {
    static char ring[10][255] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static int ring_index;
    lcache_if_entry_t *entry = nullptr;
    if (lc::all_set(lcache.attr.sync_mask, LCACHE_ATTR_NAME | LCACHE_ATTR_IOD))
        entry = lc::find_entry_by_iod(iod);
    if (!entry) {
        ++lcache.stats.misses[LCACHE_STAT_NAME];
        return netif_get_if_name(iod);
    }
    ring_index = (ring_index + 1) % 10;
    netif_get_ifindex_name(entry->if_index, ring[ring_index], sizeof ring[ring_index]);
    ++lcache.stats.hits[LCACHE_STAT_NAME];
    return ring[ring_index];
}

uint32_t lcache_netif_is_mgmtether(uint32_t iod) {
    return lc::type_query<IF_TYPE_MGMT_ETHER, netif_is_mgmtether>(iod);
}
uint32_t lcache_netif_is_super_802_3ad(uint32_t iod) {
    return lc::type_query<IF_TYPE_PORT_CHANNEL, netif_is_super_802_3ad>(iod);
}
uint32_t lcache_netif_is_gre_tunnel(uint32_t iod) {
    return lc::type_query<IF_TYPE_GRE_TUNNEL, netif_is_gre_tunnel>(iod);
}

// Never cached: the peer's own answer, counted nowhere.
uint32_t lcache_netif_is_stretch_tunnel(uint32_t iod) { return netif_is_stretch_tunnel(iod); }
uint32_t lcache_netif_is_mpls_tunnel(uint32_t iod) { return netif_is_mpls_tunnel(iod); }
uint32_t lcache_netif_is_6to4_tunnel(uint32_t iod) { return netif_is_6to4_tunnel(iod); }
}
