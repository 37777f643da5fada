// SPDX-License-Identifier: MIT
// Attribute queries: drop-in replacements for the interface manager's own
// queries.  A clean cached attribute is answered from the entry; a closed
// gate or a missing entry passes the question to the peer; a dirty
// attribute is fetched once, stored and answered from the entry.
#include "lcache_query.h"
#include "hostctl.h"
#include "if_index.h"
#include "lcache_refresh.h"

namespace lc {

namespace {

// The interface-type tests answer from the type the entry was created
// with, counting nothing; the peer is asked (and counted) otherwise.
template <uint8_t Type, uint32_t (*Peer)(uint32_t)> uint32_t type_query(uint32_t iod) {
    lcache_if_entry_t *entry = serve<Hits::uncounted>(
        all_set(lcache.attr.sync_mask, kIfType.gate), kIfType.row,
        [iod] { return find_entry_by_iod(iod); }, kNeverStale, kNothingToFetch);
    if (!entry)
        return Peer(iod);
    return read(*entry, kIfType) == Type;
}

// The entry's MAC, refetched when stale; NULL when the peer must answer.
[[gnu::always_inline]] inline lcache_if_entry_t *entry_with_mac(uint32_t iod) {
    return serve_by_iod<kMac>(
        iod, [iod](lcache_if_entry_t &e) { take(e, kMac, src_mac(iod), kMac.queried); });
}

[[gnu::always_inline]] inline uint8_t *answer_mac(uint32_t iod) {
    lcache_if_entry_t *entry = entry_with_mac(iod);
    return entry ? entry->mac : src_mac(iod);
}

} // namespace

uint8_t *mac_query(uint32_t iod) { return answer_mac(iod); }

// The cached answer is always valid: a failed refetch caches VLAN 0.
uint32_t vlan_info_query(uint32_t iod, netif_vlan_info_t *info, uint32_t *word) {
    if (!info || !word)
        return 0;
    lcache_if_entry_t *entry = serve_by_iod<kVlan>(iod, [=](lcache_if_entry_t &e) {
        store(e, kVlan, 0u);
        if (netif_get_vlan_info(iod, info, word) == 1) {
            store(e, kVlan, info->vlan);
            store(e, kVlanInfo, *word);
        }
        settle(e, kVlan, kVlan.queried);
    });
    if (!entry)
        return netif_get_vlan_info(iod, info, word);
    const lcache_if_entry_t &e = *entry;
    info->slice = hostctl_slice_get();
    info->vlan = read(e, kVlan);
    *word = read(e, kVlanInfo);
    return 1;
}

} // namespace lc

extern "C" {

uint32_t lcache_netif_is_switchport(uint32_t iod) { return lc::attr_query<lc::kSwitchport>(iod); }
uint32_t lcache_netif_is_switching_enabled_on_iod(uint32_t iod) {
    return lc::attr_query<lc::kSwitching>(iod);
}
uint32_t lcache_netif_is_linkup(uint32_t iod) { return lc::attr_query<lc::kLinkup>(iod); }
uint32_t lcache_netif_is_protoup(uint32_t iod) { return lc::attr_query<lc::kProtoup>(iod); }
uint32_t lcache_netif_is_ethernet(uint32_t iod) { return lc::attr_query<lc::kEthernet>(iod); }
uint32_t lcache_netif_is_vlan(uint32_t iod) { return lc::attr_query<lc::kIsVlan>(iod); }
uint32_t lcache_netif_is_null0(uint32_t iod) { return lc::attr_query<lc::kNull>(iod); }
uint32_t lcache_netif_is_native_p2p(uint32_t iod) { return lc::attr_query<lc::kP2p>(iod); }
uint32_t lcache_netif_is_loopback(uint32_t iod) { return lc::attr_query<lc::kLoopback>(iod); }

uint16_t lcache_netif_get_if_encaptype(uint32_t iod) { return lc::attr_query<lc::kEncap>(iod); }
uint16_t lcache_netif_get_if_mtu(uint32_t iod) { return lc::attr_query<lc::kMtu>(iod); }

uint16_t lcache_netif_get_if_vlanid(uint32_t iod) {
    lcache_if_entry_t *entry = lc::serve_by_iod<lc::kVlan>(iod, [iod](lcache_if_entry_t &e) {
        uint16_t vlan = 0;
        if (lc::ask_vlan_id(iod, lc::kIsVlan.peer(iod), &vlan))
            lc::store(e, lc::kVlan, vlan);
        lc::settle(e, lc::kVlan, lc::kVlan.queried);
    });
    if (!entry)
        return static_cast<uint16_t>(netif_get_if_vlanid(iod));
    return lc::read(*entry, lc::kVlan);
}

uint32_t lcache_netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info, uint32_t *word) {
    return lc::vlan_info_query(iod, info, word);
}

uint8_t *lcache_netif_get_if_mac_addr(uint32_t iod) { return lc::answer_mac(iod); }

uint32_t lcache_netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac) {
    if (!mac)
        return 0;
    lcache_if_entry_t *entry = lc::entry_with_mac(iod);
    if (!entry)
        return netif_is_if_mac_addr(iod, mac);
    return memcmp(mac, lc::read(*entry, lc::kMac), sizeof entry->mac) == 0;
}

// Names are never stored: a cached name query asks by ifindex into a ring
// of ten buffers, so a name stays valid for ten further name queries.
const char *lcache_netif_get_if_name(uint32_t iod) {
    static char ring[10][255] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static int ring_index;
    lcache_if_entry_t *entry = lc::serve(
        lc::all_set(lcache.attr.sync_mask, lc::kName.gate), lc::kName.row,
        [iod] { return lc::find_entry_by_iod(iod); }, lc::kNeverStale, lc::kNothingToFetch);
    if (!entry)
        return netif_get_if_name(iod);
    ring_index = (ring_index + 1) % 10;
    lc::kName.peer(entry->if_index, ring[ring_index], sizeof ring[ring_index]);
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
