// SPDX-License-Identifier: MIT
// Every query a client asks the cache, each paired with the peer call(s) a
// client without the cache makes instead.  Both answers are reduced to
// what the client acts on, so that they compare equal when they mean the
// same: a status and its output become "the value, or none"; a boolean
// keeps bit 0, as the cache does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sim/interface.h"
#include "sim/types.h"

namespace lcsim {

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

const char *family_name(Family family);

// What a query names: one interface by the key its call takes, or a VLAN.
enum class Key : uint8_t { iod, ifindex, pi, lif, vlan };

const char *key_name(Key key);

struct Target {
    uint32_t iod = sim::kNoIod;
    uint32_t ifindex = 0;
    uint32_t pi = sim::kNoPi;
    uint32_t lif = sim::kNoLif;
    uint16_t vlan = 0;
    uint16_t slice = 0; // the client's own, for the VLAN keys it builds
    sim::Mac mac{};     // the address a MAC test compares with
};

// The value "none" of a reduced answer: outside every 32-bit value.
inline constexpr uint64_t kNone = uint64_t{1} << 63;

struct Answer {
    uint64_t value = 0;         // the reduced answer
    uint32_t status = 0;        // the call's status, where it returns one
    const char *text = nullptr; // a name query's name, until the next one
};

struct QueryKind {
    const char *name;     // as scenarios spell it: "linkup"
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

// The VLAN the cache keeps for an interface: a VLAN interface's own (a
// sub-interface's encapsulation VLAN), a switchport's access (trunk:
// native) VLAN; 0 for the others.
uint16_t kept_vlan(const sim::Interface &itf);
// Every key of `itf`; `slice` is the switch's.
Target target_of(const sim::Interface &itf, uint16_t slice);

std::span<const QueryKind> query_kinds();
const QueryKind *find_query(std::string_view name);

} // namespace lcsim
