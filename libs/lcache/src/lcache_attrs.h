// SPDX-License-Identifier: MIT
// Every cached attribute of an interface, one row each: its bit, its
// statistics row, the gate of its queries, where the entry keeps it, who
// answers for it, and when the refresh's and a query's answers are final.
// The refresh, the queries and the notifications all store through these
// rows, so none of this is written anywhere else.
#pragma once

#include <bit>

#include "lcache_attr_row.h"
#include "netif.h"
#include "rtctx.h"

namespace lc {

// The base routing table of an interface.
inline uint32_t base_table_id(uint32_t iod) {
    return rtctx_if_get_table_id(iod, RTCTX_AF_IPV4, "base");
}

// lcache_get_if_src_mac_addr: the source MAC in one static buffer, which
// the next call overwrites.
uint8_t *src_mac(uint32_t iod);

// An extension slot's value: the owner's conversion of the private data
// under `key` (the size lands in the entry), or, without a conversion, the
// interface manager's own extension value.
uint32_t ext_value(lcache_if_entry_t &e, ExtField f, uint32_t key);
using ExtPeer = uint32_t (*)(lcache_if_entry_t &e, ExtField f, uint32_t key);

// A query keyed by iod needs the iod table as well as the attribute.
constexpr uint32_t by_iod(uint32_t bit) { return bit | LCACHE_ATTR_IOD; }
constexpr uint32_t kNoQuery = 0; // gate of an attribute that no query serves

// A flag's bit and row share its NAME; any answer is final.
#define LC_FLAG(NAME, peer, byte, mask)                                                            \
    attr_row(LCACHE_ATTR_##NAME, LCACHE_STAT_##NAME, by_iod(LCACHE_ATTR_##NAME), 0,                \
             FlagField{&lcache_if_entry_t::byte, mask}, peer, Final::always, Final::always)
inline constexpr auto kSwitchport =
    LC_FLAG(SWITCHPORT, netif_is_switchport, flags, LCACHE_FLAG_SWPORT);
inline constexpr auto kSwitching =
    LC_FLAG(SWITCHING, netif_is_switching_enabled_on_iod, flags, LCACHE_FLAG_SW);
inline constexpr auto kLinkup = LC_FLAG(LINKUP, netif_is_linkup, flags, LCACHE_FLAG_LINKUP);
inline constexpr auto kProtoup = LC_FLAG(PROTOUP, netif_is_protoup, flags, LCACHE_FLAG_PROTOUP);
inline constexpr auto kEthernet = LC_FLAG(ETHERNET, netif_is_ethernet, flags, LCACHE_FLAG_ETH);
inline constexpr auto kIsVlan = LC_FLAG(IS_VLAN, netif_is_vlan, flags, LCACHE_FLAG_ISVLAN);
inline constexpr auto kNull = LC_FLAG(NULL, netif_is_null0, flags, LCACHE_FLAG_NULL);
inline constexpr auto kP2p = LC_FLAG(P2P, netif_is_native_p2p, flags2, LCACHE_FLAG2_P2P);
inline constexpr auto kLoopback = LC_FLAG(LOOPBACK, netif_is_loopback, flags2, LCACHE_FLAG2_LO);
#undef LC_FLAG

// The port mode, asked by ifindex of Ethernet ports only, kept as the ips
// flag.
inline constexpr auto kIps = attr_row(LCACHE_ATTR_IPS, LCACHE_STAT_IPS, LCACHE_ATTR_IPS, 0,
                                      FlagField{&lcache_if_entry_t::flags, LCACHE_FLAG_IPS},
                                      nullptr, Final::always, Final::always);

// A value's bit and row share its NAME.
#define LC_VALUE(NAME, gate, T, member, peer, refreshed, queried)                                  \
    attr_row(LCACHE_ATTR_##NAME, LCACHE_STAT_##NAME, gate, 0,                                      \
             ValueField<T>{&lcache_if_entry_t::member}, peer, Final::refreshed, Final::queried)
inline constexpr auto kEncap = LC_VALUE(ENCAP, by_iod(LCACHE_ATTR_ENCAP), uint16_t, encap,
                                        netif_get_if_encaptype, nonzero, nonzero);
// A query takes an MTU of 0 as the answer; the refresh asks again.
inline constexpr auto kMtu =
    LC_VALUE(MTU, by_iod(LCACHE_ATTR_MTU), uint16_t, mtu, netif_get_if_mtu, nonzero, always);
inline constexpr auto kContext =
    LC_VALUE(CONTEXT, kNoQuery, uint32_t, ctx, rtctx_if_get_context_id, nonzero, nonzero);
inline constexpr auto kBaseTid =
    LC_VALUE(BASE_TID, kNoQuery, uint32_t, tid, base_table_id, nonzero, nonzero);
// The VLAN id comes from the VLAN interface or the switchport's VLAN
// information (ask_vlan_id); whatever that gives is final.
inline constexpr auto kVlan =
    LC_VALUE(VLAN, by_iod(LCACHE_ATTR_VLAN), uint16_t, vlan, nullptr, always, always);
// The VLAN information word, kept under the VLAN's bit by the VLAN
// information query alone.
inline constexpr auto kVlanInfo =
    LC_VALUE(VLAN, by_iod(LCACHE_ATTR_VLAN), uint32_t, vlan_info, nullptr, always, always);
// A port-channel's first operational member (a sub-interface's parent
// shares the field), asked by ifindex.  Its steps are its own: the
// refresh asks two peers, and a query takes a member of 0 as no answer.
inline constexpr auto kAggIf =
    LC_VALUE(AGG_IF, LCACHE_ATTR_AGG_IF, uint32_t, agg_if, nullptr, always, always);
// The interface type, stored once by the creation.  The type tests answer
// from it whatever its bit says, and count only their pass-throughs.
inline constexpr auto kIfType = attr_row(
    LCACHE_ATTR_IF_TYPE, LCACHE_STAT_PASSTHROUGH, by_iod(LCACHE_ATTR_IF_TYPE), 0,
    ValueField<uint8_t>{&lcache_if_entry_t::if_type}, nullptr, Final::always, Final::always);
#undef LC_VALUE

inline constexpr auto kMac =
    attr_row(LCACHE_ATTR_MAC, LCACHE_STAT_MAC, by_iod(LCACHE_ATTR_MAC), 0,
             MacField{&lcache_if_entry_t::mac}, src_mac, Final::nonzero, Final::nonzero);

// The name is never kept: a query with an entry asks by ifindex.
inline constexpr auto kName =
    attr_row(LCACHE_ATTR_NAME, LCACHE_STAT_NAME, by_iod(LCACHE_ATTR_NAME), 0, NoField{},
             netif_get_ifindex_name, Final::always, Final::always);

// The four extension slots, refreshed only while kept.  A query takes a
// held 0 as no answer.
#define LC_EXT(I, N)                                                                               \
    inline constexpr Attr<ExtField, ExtPeer> kExt##N{                                              \
        LCACHE_ATTR_EXT##N,                                                                        \
        LCACHE_STAT_EXT##N,                                                                        \
        by_iod(LCACHE_ATTR_EXT##N),                                                                \
        LCACHE_ATTR_EXT##N,                                                                        \
        ExtField{I, &lcache_if_entry_t::extn##N, &lcache_if_entry_t::extn##N##_size},              \
        ext_value,                                                                                 \
        Final::nonzero,                                                                            \
        Final::nonzero_or_stale};
LC_EXT(0, )
LC_EXT(1, 1)
LC_EXT(2, 2)
LC_EXT(3, 3)
#undef LC_EXT
inline constexpr const Attr<ExtField, ExtPeer> *kExtSlots[] = {&kExt, &kExt1, &kExt2, &kExt3};

// An extension slot's own owner key.
inline uint32_t ask(lcache_if_entry_t &e, const Attr<ExtField, ExtPeer> &a) {
    return a.peer(e, a.field, lcache.attr.ext_key[a.field.slot]);
}

// Each row has one bit, its own, and a query's gate holds it.
template <class F, class P> constexpr bool well_formed(const Attr<F, P> &a) {
    return std::has_single_bit(a.bit) && (a.gate == kNoQuery || (a.gate & a.bit)) &&
           (a.refresh_gate & ~a.bit) == 0;
}
template <class... Rows> constexpr bool rows_apart(const Rows &...rows) {
    uint32_t seen = 0;
    bool apart = true;
    ((apart = apart && well_formed(rows) && !(seen & rows.bit), seen |= rows.bit), ...);
    return apart;
}
// The VLAN information word alone shares a bit, the VLAN id's.
static_assert(rows_apart(kSwitchport, kSwitching, kLinkup, kProtoup, kEthernet, kIsVlan, kNull,
                         kP2p, kLoopback, kIps, kEncap, kMtu, kContext, kBaseTid, kVlan, kAggIf,
                         kIfType, kMac, kName, kExt, kExt1, kExt2, kExt3) &&
              well_formed(kVlanInfo) && kVlanInfo.bit == kVlan.bit);
// Each slot's place in the array is the one its field names.
static_assert(kExtSlots[0]->field.slot == 0 && kExtSlots[1]->field.slot == 1 &&
              kExtSlots[2]->field.slot == 2 && kExtSlots[3]->field.slot == 3);

} // namespace lc
