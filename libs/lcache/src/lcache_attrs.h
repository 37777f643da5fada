// Descriptors of the attributes that several operations handle alike: the
// one-bit flags and the four extension slots.  The refresh, the queries
// and the notifications all read these tables, so an attribute's bit, row,
// peer call and field are written down exactly once.
#pragma once

#include "lcache_internal.h"
#include "netif.h"

namespace lc {

// A boolean kept as one bit of `flags` or `flags2`.
struct FlagAttr {
    uint32_t bit; // dirty / sync_mask bit
    lcache_stat_row_t row;
    uint32_t (*peer)(uint32_t iod); // the interface manager's own query
    uint8_t lcache_if_entry_t::*field;
    uint8_t mask;
};

// An attribute's bit and row share its NAME; the flag is `mask` in `field`.
#define LC_FLAG(NAME, peer, field, mask)                                                           \
    FlagAttr { LCACHE_ATTR_##NAME, LCACHE_STAT_##NAME, peer, &lcache_if_entry_t::field, mask }

inline constexpr FlagAttr kSwitchportFlag =
    LC_FLAG(SWITCHPORT, netif_is_switchport, flags, LCACHE_FLAG_SWPORT);
inline constexpr FlagAttr kSwitchingFlag =
    LC_FLAG(SWITCHING, netif_is_switching_enabled_on_iod, flags, LCACHE_FLAG_SW);
inline constexpr FlagAttr kLinkupFlag = LC_FLAG(LINKUP, netif_is_linkup, flags, LCACHE_FLAG_LINKUP);
inline constexpr FlagAttr kProtoupFlag =
    LC_FLAG(PROTOUP, netif_is_protoup, flags, LCACHE_FLAG_PROTOUP);
inline constexpr FlagAttr kEthernetFlag =
    LC_FLAG(ETHERNET, netif_is_ethernet, flags, LCACHE_FLAG_ETH);
inline constexpr FlagAttr kIsVlanFlag = LC_FLAG(IS_VLAN, netif_is_vlan, flags, LCACHE_FLAG_ISVLAN);
inline constexpr FlagAttr kNullFlag = LC_FLAG(NULL, netif_is_null0, flags, LCACHE_FLAG_NULL);
inline constexpr FlagAttr kP2pFlag = LC_FLAG(P2P, netif_is_native_p2p, flags2, LCACHE_FLAG2_P2P);
inline constexpr FlagAttr kLoopbackFlag =
    LC_FLAG(LOOPBACK, netif_is_loopback, flags2, LCACHE_FLAG2_LO);

#undef LC_FLAG

// The cached flag.
inline bool read_flag(const lcache_if_entry_t &entry, const FlagAttr &f) {
    return (entry.*f.field & f.mask) != 0;
}

// Writes bit 0 of a peer's answer (only that bit is the flag); the dirty
// bit is left as it is.
inline void store_flag(lcache_if_entry_t &entry, const FlagAttr &f, uint32_t answer) {
    if (answer & 1)
        entry.*f.field |= f.mask;
    else
        entry.*f.field &= static_cast<uint8_t>(~f.mask);
}

// Stores a value known to be fresh: the flag is clean afterwards.
inline void settle_flag(lcache_if_entry_t &entry, const FlagAttr &f, uint32_t answer) {
    store_flag(entry, f, answer);
    entry.dirty &= ~f.bit;
}

// Asks the peer and settles the flag with its answer.
inline void fetch_flag(lcache_if_entry_t &entry, const FlagAttr &f) {
    settle_flag(entry, f, f.peer(entry.iod));
}

// Counts a store that did not answer a query (refresh, notification).
inline void count_update(lcache_stat_row_t row) { ++lcache.stats.updates[row]; }

// Fetches a dirty flag, counting the update; a clean one is left alone.
inline void refresh_flag(lcache_if_entry_t &entry, const FlagAttr &f) {
    if (!(entry.dirty & f.bit))
        return;
    fetch_flag(entry, f);
    count_update(f.row);
}

// One of the four extension slots.
struct ExtSlot {
    unsigned index; // into ext_fn / ext_key
    uint32_t bit;
    lcache_stat_row_t row;
    uint32_t lcache_if_entry_t::*value;
    uint32_t lcache_if_entry_t::*size;
};

inline constexpr ExtSlot kExtSlots[4] = {
    {0, LCACHE_ATTR_EXT, LCACHE_STAT_EXT, &lcache_if_entry_t::extn, &lcache_if_entry_t::extn_size},
    {1, LCACHE_ATTR_EXT1, LCACHE_STAT_EXT1, &lcache_if_entry_t::extn1,
     &lcache_if_entry_t::extn1_size},
    {2, LCACHE_ATTR_EXT2, LCACHE_STAT_EXT2, &lcache_if_entry_t::extn2,
     &lcache_if_entry_t::extn2_size},
    {3, LCACHE_ATTR_EXT3, LCACHE_STAT_EXT3, &lcache_if_entry_t::extn3,
     &lcache_if_entry_t::extn3_size},
};

// The slot's value as its owner's conversion callback derives it from the
// private data under `key` (the size lands in the entry), or, without a
// callback, the interface manager's own extension value.
inline uint32_t fetch_ext_value(lcache_if_entry_t &entry, const ExtSlot &s, uint32_t key) {
    if (lcache_ext_fn fn = lcache.attr.ext_fn[s.index]) {
        uint32_t data = netif_get_private_data(entry.iod, key, &(entry.*s.size));
        return fn(data, entry.*s.size);
    }
    return netif_get_extension(entry.iod, key);
}

// Settles a slot after a query read it: a value of 0 is no answer yet, so
// its bit is set again and the next query asks the peer.  Returns the value.
inline uint32_t settle_ext(lcache_if_entry_t &entry, const ExtSlot &s) {
    if (entry.*s.value != 0)
        entry.dirty &= ~s.bit;
    else
        entry.dirty |= s.bit;
    return entry.*s.value;
}

} // namespace lc
