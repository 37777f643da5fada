// SPDX-License-Identifier: MIT
// The attribute profiles: what three typical clients keep and flush.
#include "cache_settings.h"

#include <stdexcept>
#include <string>

namespace lcsim {
namespace {

// Owner keys of the four extension slots: services attach data to an
// interface under these (slot 0 also names the cache's event history).
constexpr uint32_t kExtensionKeys[4] = {0x100, 0x101, 0x102, 0x103};

// The owner of slot 0 stores the extension value itself as its private
// data, so the conversion is the identity.
uint32_t extension_from_private_data(uint32_t data, uint32_t) { return data; }

struct Profile {
    const char *name;
    uint32_t sync, crit, med, low, once;
    bool converts_private_data;
};

constexpr uint32_t kState = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;
constexpr uint32_t kKind = LCACHE_ATTR_ETHERNET | LCACHE_ATTR_IS_VLAN | LCACHE_ATTR_NULL |
                           LCACHE_ATTR_P2P | LCACHE_ATTR_LOOPBACK | LCACHE_ATTR_IF_TYPE;
constexpr uint32_t kExtensions =
    LCACHE_ATTR_EXT | LCACHE_ATTR_EXT1 | LCACHE_ATTR_EXT2 | LCACHE_ATTR_EXT3;
constexpr uint32_t kVlanCache = LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX;
constexpr uint32_t kBridging = LCACHE_ATTR_SWITCHPORT | LCACHE_ATTR_SWITCHING | LCACHE_ATTR_VLAN;

// Link and protocol state change most often, so every flush refetches them;
// addressing and bridging come next; a kind never changes, so no flush
// marks it.  The keys (iod, pi, lif) are left out of every flush mask: a
// marked key makes each translation refresh the whole entry, and the iod
// and an unchanged lif stay marked until the entry is recreated.
constexpr Profile kProfiles[] = {
    // Everything, for a routing client.
    {"full", ~0x08000000u, kState,
     kState | kBridging | LCACHE_ATTR_MTU | LCACHE_ATTR_MAC | LCACHE_ATTR_AGG_IF,
     kState | kBridging | LCACHE_ATTR_MTU | LCACHE_ATTR_MAC | LCACHE_ATTR_AGG_IF |
         LCACHE_ATTR_ENCAP | kExtensions | LCACHE_ATTR_CONTEXT | LCACHE_ATTR_BASE_TID |
         LCACHE_ATTR_IPS | kVlanCache,
     kKind, true},
    // A bridging client: ports, VLANs and port-channels.
    {"l2",
     LCACHE_ATTR_IOD | LCACHE_ATTR_PI | kState | kBridging | LCACHE_ATTR_MAC | LCACHE_ATTR_MTU |
         LCACHE_ATTR_ENCAP | LCACHE_ATTR_ETHERNET | LCACHE_ATTR_IS_VLAN | LCACHE_ATTR_AGG_IF |
         kVlanCache,
     kState, kState | kBridging | LCACHE_ATTR_AGG_IF,
     kState | kBridging | LCACHE_ATTR_AGG_IF | LCACHE_ATTR_MAC | LCACHE_ATTR_MTU |
         LCACHE_ATTR_ENCAP | kVlanCache,
     LCACHE_ATTR_ETHERNET | LCACHE_ATTR_IS_VLAN, false},
    // Only the state a forwarding decision needs.
    {"minimal", LCACHE_ATTR_IOD | kState | LCACHE_ATTR_MTU, kState, kState | LCACHE_ATTR_MTU,
     kState | LCACHE_ATTR_MTU, 0, false},
};

const Profile &find_profile(const std::string &name) {
    for (const Profile &p : kProfiles)
        if (name == p.name)
            return p;
    throw std::invalid_argument("no attribute profile named '" + name + "'");
}

} // namespace

const std::vector<std::string> &profile_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const Profile &p : kProfiles)
            all.emplace_back(p.name);
        return all;
    }();
    return names;
}

lcache_attr make_attributes(const CacheSettings &s) {
    const Profile &p = find_profile(s.profile);
    if (s.table_size > kMaxTableSize)
        throw std::invalid_argument("a table holds at most " + std::to_string(kMaxTableSize) +
                                    " buckets, not " + std::to_string(s.table_size));
    lcache_attr a{};
    a.table_size = s.table_size;
    a.sync_mask = s.sync_mask.value_or(p.sync);
    a.crit_mask = s.crit_mask.value_or(p.crit);
    a.med_mask = s.med_mask.value_or(p.med);
    a.low_mask = s.low_mask.value_or(p.low);
    a.once_mask = s.once_mask.value_or(p.once);
    for (int i = 0; i < 4; ++i)
        a.ext_key[i] = kExtensionKeys[i];
    if (p.converts_private_data)
        a.ext_fn[0] = extension_from_private_data;
    a.create_on_miss = 1;
    a.l3_track = s.l3_track ? 1 : 0;
    return a;
}

} // namespace lcsim
