// SPDX-License-Identifier: MIT
// Every query a client asks the cache, each paired with the peer call(s) a
// client without the cache makes instead, with its one name, its family and
// how often a workload asks it.  Header-only: lcache-sim and lcache-sim-host
// link different peers under the same function names, so the one table
// serves both.  Both answers are reduced to what the client acts on, so that
// they compare equal when they mean the same: a status and its output
// become "the value, or none"; a boolean keeps bit 0, as the cache does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "agg.h"
#include "dmap.h"
#include "lcache.h"
#include "lifsvc.h"
#include "netif.h"
#include "phyport.h"
#include "printed.h"

namespace querycat {

enum class Family : uint8_t {
    flags,
    mtu,
    encap,
    mac,
    vlan,
    name,
    iod,
    pi,
    lif,
    port_channel,
    port_mode,
    extensions,
    vlan_cache,
};
inline constexpr size_t kFamilyCount = static_cast<size_t>(Family::vlan_cache) + 1;

// What a query names: one interface by the key its call takes, or a VLAN.
enum class Key : uint8_t { iod, ifindex, pi, lif, vlan };

struct Target {
    uint32_t iod = 0;
    uint32_t ifindex = 0;
    uint32_t pi = 0xFFFFFFFF;  // none
    uint32_t lif = 0xFFFFFFFF; // none
    uint16_t vlan = 0;
    uint16_t slice = 0;           // the client's own, for the VLAN keys it builds
    std::array<uint8_t, 6> mac{}; // the address a MAC test compares with
};

// The value "none" of a reduced answer: outside every 32-bit value.
inline constexpr uint64_t kNone = uint64_t{1} << 63;

struct Answer {
    uint64_t value = 0;         // the reduced answer
    uint32_t status = 0;        // the call's status, where it returns one
    const char *text = nullptr; // a name query's name, until the next one
};

struct QueryKind {
    const char *name;     // one spelling everywhere: scenarios, summaries, help
    uint32_t weight;      // how often a workload asks it, per thousand
    bool on_linux;        // the Linux peers answer it (lcache-sim host asks it)
    const char *function; // the cache's entry point
    Family family;
    Key key;
    Answer (*cached)(const Target &);
    Answer (*direct)(const Target &);
    std::string (*show)(const Answer &);
    // The bits of the reduced answers that must agree; the others are
    // shown but not compared.
    uint64_t compared = ~uint64_t{0};

    bool agree(const Answer &from_cache, const Answer &from_peer) const {
        return ((from_cache.value ^ from_peer.value) & compared) == 0;
    }
};

// ---- How each call is asked and its answer reduced.

inline uint64_t fnv1a(const char *text) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (; text && *text; ++text)
        hash = (hash ^ static_cast<uint8_t>(*text)) * 0x100000001b3u;
    return hash;
}

inline uint64_t pack_mac(const uint8_t *mac) {
    uint64_t value = 0;
    for (int i = 0; i < 6; ++i)
        value = value << 8 | mac[i];
    return value;
}

// A key or an index out of a status call: 0 and all-ones mean none too.
inline Answer key(uint32_t status, uint32_t value) {
    const bool none = status != 0 || value == 0 || value == 0xFFFFFFFF;
    return Answer{none ? kNone : value, status};
}

inline uint32_t ext_key(int slot) { return lcache.attr.ext_key[slot]; }

inline vlan_key_t vlan_key(const Target &t) { return vlan_key_t{t.slice, t.vlan}; }

// ---- Interface-manager queries by iod.

template <auto Query> Answer flag(const Target &t) { return Answer{Query(t.iod) & 1u}; }

template <auto Query> Answer value16(const Target &t) { return Answer{Query(t.iod) & 0xFFFFu}; }

inline Answer cached_mac(const Target &t) {
    return Answer{pack_mac(lcache_netif_get_if_mac_addr(t.iod))};
}

inline Answer direct_mac(const Target &t) {
    uint8_t mac[6] = {};
    netif_get_if_src_mac_addr(t.iod, mac);
    return Answer{pack_mac(mac)};
}

template <auto Query> Answer mac_test(const Target &t) {
    return Answer{Query(t.iod, t.mac.data()) & 1u};
}

template <auto Query> Answer vlan_info(const Target &t) {
    netif_vlan_info_t info{};
    uint32_t word = 0;
    if (Query(t.iod, &info, &word) != 1)
        return Answer{kNone};
    return Answer{uint64_t{info.slice} << 32 | (word & 0xFFFFu) << 16 | (info.vlan & 0xFFFFu)};
}

template <auto Query> Answer name(const Target &t) {
    const char *text = Query(t.iod);
    return Answer{fnv1a(text), 0, text};
}

// ---- Translations: a key in, a status and a key out.

template <auto Query, auto Field> Answer translate(const Target &t) {
    uint32_t out = 0;
    const uint32_t status = Query(t.*Field, &out);
    return key(status, out);
}

template <auto Query> Answer member_by_hash(const Target &t) {
    uint32_t member = 0;
    const uint32_t status = Query(t.ifindex, 0, &member);
    return key(status, member);
}

inline Answer cached_fop(const Target &t) {
    uint32_t fop = 0;
    const uint32_t status = lcache_agg_get_fop(t.ifindex, &fop);
    return key(status, fop);
}

inline Answer direct_fop(const Target &t) {
    agg_pc_info_t info{};
    std::memcpy(info.bytes + AGG_PC_INFO_IFINDEX_OFF, &t.ifindex, sizeof t.ifindex);
    const uint32_t status = agg_get_pc_info(&info);
    uint32_t fop = 0;
    std::memcpy(&fop, info.bytes + AGG_PC_INFO_FOP_OFF, sizeof fop);
    return key(status, fop);
}

// The cache keeps one bit of the port mode: whether it is the IPS mode.
template <auto Query> Answer port_mode(const Target &t) {
    uint32_t mode = 0;
    const uint32_t status = Query(t.ifindex, &mode);
    return Answer{status == 0 && mode == NETIF_PORT_MODE_IPS ? mode : 0u, status};
}

// ---- Extension slots, under the attribute block's owner keys.

template <auto Query, int Slot> Answer extension(const Target &t) {
    return Answer{Query(t.iod, ext_key(Slot))};
}

template <auto Query, int Slot> Answer extension_set(const Target &t) {
    return Answer{Query(t.iod, ext_key(Slot)) & 1u};
}

inline Answer cached_private_data(const Target &t) {
    uint32_t size = 0;
    const uint32_t value = lcache_netif_get_private_data(t.iod, ext_key(0), &size);
    return Answer{uint64_t{size} << 32 | value};
}

// Without the cache the client converts the private data itself.
inline Answer direct_private_data(const Target &t) {
    uint32_t size = 0;
    uint32_t value = netif_get_private_data(t.iod, ext_key(0), &size);
    if (lcache.attr.ext_fn[0])
        value = lcache.attr.ext_fn[0](value, size);
    return Answer{uint64_t{size} << 32 | value};
}

// ---- The VLAN cache.

inline Answer cached_bd(const Target &t) {
    uint16_t bd = 0;
    const uint32_t status = lcache_vlan_get_bd(vlan_key(t), &bd);
    return key(status, bd);
}

inline Answer direct_bd(const Target &t) {
    uint16_t bd = 0;
    const uint32_t status = vlan_get_bd(vlan_key(t), &bd);
    return key(status, bd);
}

inline Answer cached_pvlan(const Target &t) {
    uint32_t pvlan = 0;
    const uint32_t status = lcache_pvlan_get_pvlan(t.vlan, &pvlan);
    return key(status, pvlan);
}

inline Answer direct_pvlan(const Target &t) {
    uint16_t bd = 0;
    uint32_t pvlan = 0;
    const uint32_t status = vlan_get_bd_and_primary_vlan(vlan_key(t), &bd, &pvlan);
    return key(status, pvlan);
}

inline Answer flood(uint32_t status, uint32_t di, uint16_t bd) {
    if (status != 0)
        return Answer{kNone, status};
    return Answer{uint64_t{bd} << 32 | di};
}

inline Answer cached_flood(const Target &t) {
    uint32_t di = 0;
    uint16_t bd = 0;
    const uint32_t status = lcache_vlan_to_flood_di(t.vlan, &di, &bd);
    return flood(status, di, bd);
}

inline Answer direct_flood(const Target &t) {
    uint16_t bd = 0;
    uint32_t di = 0;
    uint32_t status = vlan_get_bd(vlan_key(t), &bd);
    if (status == 0)
        status = dmap_lib_bd_to_di(bd, &di);
    return flood(status, di, bd);
}

// ---- Showing an answer.

using tooltext::printed;

inline unsigned long long ull(uint64_t value) { return value; }

inline std::string show_number(const Answer &a) {
    return a.value == kNone ? "none" : printed("%llu", ull(a.value));
}
inline std::string show_hex(const Answer &a) {
    return a.value == kNone ? "none" : printed("0x%llx", ull(a.value));
}
inline std::string show_mac(const Answer &a) {
    return printed("%04llx.%04llx.%04llx", ull(a.value >> 32), ull(a.value >> 16 & 0xFFFF),
                   ull(a.value & 0xFFFF));
}
inline std::string show_name(const Answer &a) { return a.text ? a.text : "(null)"; }
inline std::string show_vlan_info(const Answer &a) {
    if (a.value == kNone)
        return "none";
    return printed("vlan %llu mode %llu slice %llu", ull(a.value & 0xFFFF),
                   ull(a.value >> 16 & 0xFFFF), ull(a.value >> 32));
}
inline std::string show_private_data(const Answer &a) {
    return printed("0x%llx size %llu", ull(a.value & 0xFFFFFFFF), ull(a.value >> 32));
}
inline std::string show_flood(const Answer &a) {
    if (a.value == kNone)
        return "none";
    return printed("di 0x%llx bd %llu", ull(a.value & 0xFFFFFFFF), ull(a.value >> 32));
}

// The mode word of a VLAN-info answer is only as fresh as the last query
// that fetched it: an entry refresh fills the VLAN and clears its stale
// bit but does not store the word.  The VLAN and the slice are compared.
inline constexpr uint64_t kVlanInfoCompared = ~uint64_t{0xFFFF0000};

using F = Family;
using K = Key;

inline constexpr std::array kQueries = {
    QueryKind{"linkup", 120, true, "lcache_netif_is_linkup", F::flags, K::iod,
              flag<lcache_netif_is_linkup>, flag<netif_is_linkup>, show_number},
    QueryKind{"protoup", 80, true, "lcache_netif_is_protoup", F::flags, K::iod,
              flag<lcache_netif_is_protoup>, flag<netif_is_protoup>, show_number},
    QueryKind{"switchport", 40, true, "lcache_netif_is_switchport", F::flags, K::iod,
              flag<lcache_netif_is_switchport>, flag<netif_is_switchport>, show_number},
    QueryKind{"switching", 30, true, "lcache_netif_is_switching_enabled_on_iod", F::flags, K::iod,
              flag<lcache_netif_is_switching_enabled_on_iod>,
              flag<netif_is_switching_enabled_on_iod>, show_number},
    QueryKind{"ethernet", 20, true, "lcache_netif_is_ethernet", F::flags, K::iod,
              flag<lcache_netif_is_ethernet>, flag<netif_is_ethernet>, show_number},
    QueryKind{"is-vlan", 20, true, "lcache_netif_is_vlan", F::flags, K::iod,
              flag<lcache_netif_is_vlan>, flag<netif_is_vlan>, show_number},
    QueryKind{"loopback", 10, true, "lcache_netif_is_loopback", F::flags, K::iod,
              flag<lcache_netif_is_loopback>, flag<netif_is_loopback>, show_number},
    QueryKind{"null0", 10, false, "lcache_netif_is_null0", F::flags, K::iod,
              flag<lcache_netif_is_null0>, flag<netif_is_null0>, show_number},
    QueryKind{"p2p", 10, true, "lcache_netif_is_native_p2p", F::flags, K::iod,
              flag<lcache_netif_is_native_p2p>, flag<netif_is_native_p2p>, show_number},
    QueryKind{"mgmt", 10, false, "lcache_netif_is_mgmtether", F::flags, K::iod,
              flag<lcache_netif_is_mgmtether>, flag<netif_is_mgmtether>, show_number},
    QueryKind{"bundle", 10, false, "lcache_netif_is_super_802_3ad", F::flags, K::iod,
              flag<lcache_netif_is_super_802_3ad>, flag<netif_is_super_802_3ad>, show_number},
    QueryKind{"gre", 5, false, "lcache_netif_is_gre_tunnel", F::flags, K::iod,
              flag<lcache_netif_is_gre_tunnel>, flag<netif_is_gre_tunnel>, show_number},
    QueryKind{"mtu", 80, true, "lcache_netif_get_if_mtu", F::mtu, K::iod,
              value16<lcache_netif_get_if_mtu>, value16<netif_get_if_mtu>, show_number},
    QueryKind{"encap", 20, true, "lcache_netif_get_if_encaptype", F::encap, K::iod,
              value16<lcache_netif_get_if_encaptype>, value16<netif_get_if_encaptype>, show_number},
    QueryKind{"mac", 40, true, "lcache_netif_get_if_mac_addr", F::mac, K::iod, cached_mac,
              direct_mac, show_mac},
    QueryKind{"is-mac", 20, false, "lcache_netif_is_if_mac_addr", F::mac, K::iod,
              mac_test<lcache_netif_is_if_mac_addr>, mac_test<netif_is_if_mac_addr>, show_number},
    QueryKind{"vlan-id", 40, false, "lcache_netif_get_if_vlanid", F::vlan, K::iod,
              value16<lcache_netif_get_if_vlanid>, value16<netif_get_if_vlanid>, show_number},
    QueryKind{"vlan-info", 30, false, "lcache_netif_get_vlan_info", F::vlan, K::iod,
              vlan_info<lcache_netif_get_vlan_info>, vlan_info<netif_get_vlan_info>, show_vlan_info,
              kVlanInfoCompared},
    QueryKind{"name", 20, true, "lcache_netif_get_if_name", F::name, K::iod,
              name<lcache_netif_get_if_name>, name<netif_get_if_name>, show_name},
    QueryKind{"ifindex-of-iod", 60, true, "lcache_netif_get_ifindex_frm_iod", F::iod, K::iod,
              translate<lcache_netif_get_ifindex_frm_iod, &Target::iod>,
              translate<netif_get_ifindex_frm_iod, &Target::iod>, show_hex},
    QueryKind{"iod-of-ifindex", 60, false, "lcache_netif_get_iod_frm_ifindex", F::iod, K::ifindex,
              translate<lcache_netif_get_iod_frm_ifindex, &Target::ifindex>,
              translate<netif_get_iod_frm_ifindex, &Target::ifindex>, show_number},
    QueryKind{"ifindex-of-pi", 30, false, "lcache_dmap_lib_si_to_ifidx", F::pi, K::pi,
              translate<lcache_dmap_lib_si_to_ifidx, &Target::pi>,
              translate<dmap_lib_si_to_ifidx, &Target::pi>, show_hex},
    QueryKind{"pi-of-ifindex", 30, true, "lcache_dmap_lib_ifidx_to_di", F::pi, K::ifindex,
              translate<lcache_dmap_lib_ifidx_to_di, &Target::ifindex>,
              translate<dmap_lib_ifidx_to_di, &Target::ifindex>, show_number},
    QueryKind{"ifindex-of-lif", 30, false, "lcache_lifsvc_query_lif_to_ifindex", F::lif, K::lif,
              translate<lcache_lifsvc_query_lif_to_ifindex, &Target::lif>,
              translate<lifsvc_query_lif_to_ifindex, &Target::lif>, show_hex},
    QueryKind{"lif-of-ifindex", 30, true, "lcache_lifsvc_query_ifindex_to_lif", F::lif, K::ifindex,
              translate<lcache_lifsvc_query_ifindex_to_lif, &Target::ifindex>,
              translate<lifsvc_query_ifindex_to_lif, &Target::ifindex>, show_number},
    QueryKind{"fop", 20, false, "lcache_agg_get_fop", F::port_channel, K::ifindex, cached_fop,
              direct_fop, show_hex},
    QueryKind{"member", 10, false, "lcache_agg_get_pc_mbr_ifidx_from_rbh", F::port_channel,
              K::ifindex, member_by_hash<lcache_agg_get_pc_mbr_ifidx_from_rbh>,
              member_by_hash<agg_get_pc_mbr_ifidx_from_rbh>, show_hex},
    QueryKind{"port-mode", 10, false, "lcache_phyport_gldb_get_ifindex_port_mode", F::port_mode,
              K::ifindex, port_mode<lcache_phyport_gldb_get_ifindex_port_mode>,
              port_mode<phyport_gldb_get_ifindex_port_mode>, show_number},
    QueryKind{"ext0", 15, false, "lcache_netif_get_extension", F::extensions, K::iod,
              extension<lcache_netif_get_extension, 0>, extension<netif_get_extension, 0>,
              show_hex},
    QueryKind{"ext1", 10, false, "lcache_netif_get_extension1", F::extensions, K::iod,
              extension<lcache_netif_get_extension1, 1>, extension<netif_get_extension, 1>,
              show_hex},
    QueryKind{"ext2", 5, false, "lcache_netif_get_extension2", F::extensions, K::iod,
              extension<lcache_netif_get_extension2, 2>, extension<netif_get_extension, 2>,
              show_hex},
    QueryKind{"ext3", 5, false, "lcache_netif_get_extension3", F::extensions, K::iod,
              extension<lcache_netif_get_extension3, 3>, extension<netif_get_extension, 3>,
              show_hex},
    QueryKind{"ext0-set", 5, false, "lcache_netif_is_extension_set", F::extensions, K::iod,
              extension_set<lcache_netif_is_extension_set, 0>,
              extension_set<netif_is_extension_set, 0>, show_number},
    QueryKind{"ext1-set", 5, false, "lcache_netif_is_extension1_set", F::extensions, K::iod,
              extension_set<lcache_netif_is_extension1_set, 1>,
              extension_set<netif_is_extension_set, 1>, show_number},
    QueryKind{"private-data", 10, false, "lcache_netif_get_private_data", F::extensions, K::iod,
              cached_private_data, direct_private_data, show_private_data},
    QueryKind{"bd", 20, false, "lcache_vlan_get_bd", F::vlan_cache, K::vlan, cached_bd, direct_bd,
              show_number},
    QueryKind{"pvlan", 10, false, "lcache_pvlan_get_pvlan", F::vlan_cache, K::vlan, cached_pvlan,
              direct_pvlan, show_number},
    QueryKind{"flood-di", 20, false, "lcache_vlan_to_flood_di", F::vlan_cache, K::vlan,
              cached_flood, direct_flood, show_flood},
};

inline const char *family_name(Family family) {
    static constexpr const char *kNames[kFamilyCount] = {
        "flags", "mtu", "encap",        "mac",       "vlan",       "name",      "iod",
        "pi",    "lif", "port-channel", "port-mode", "extensions", "vlan-cache"};
    return kNames[static_cast<size_t>(family)];
}

inline const char *key_name(Key key) {
    static constexpr const char *kNames[] = {"iod", "ifindex", "pi", "lif", "vlan"};
    return kNames[static_cast<size_t>(key)];
}

inline std::span<const QueryKind> query_kinds() { return kQueries; }

inline const QueryKind *find_query(std::string_view name) {
    for (const QueryKind &kind : kQueries)
        if (name == kind.name)
            return &kind;
    return nullptr;
}

} // namespace querycat
