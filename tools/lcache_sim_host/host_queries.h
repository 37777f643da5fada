// SPDX-License-Identifier: MIT
// The questions `lcache-sim host` asks about an interface: the catalogue's
// queries that the Linux peers answer (query_catalogue.h), each both ways,
// through the cache and straight from the peers.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "query_catalogue.h"

namespace lchost {

using querycat::Answer;

struct HostQuery {
    const querycat::QueryKind *kind;
    // The kernel's answer where the peer's is not independent of the bridge
    // (the peers keep names while it is open); null: the peer's, which asks
    // the kernel afresh after each dispatch.
    Answer (*independent)(const querycat::Target &) = nullptr;

    const char *name() const { return kind->name; }
    // A key the call takes other than the iod is first asked of the same
    // side, as a client holding only the iod does.
    Answer cached(uint32_t iod) const;
    Answer peer(uint32_t iod) const;
    // The answer a cached one is checked against.
    Answer kernel(uint32_t iod) const;
    std::string show(const Answer &answer) const { return kind->show(answer); }
    bool agree(const Answer &cached, const Answer &kernel) const {
        return kind->agree(cached, kernel);
    }
};

std::span<const HostQuery> host_queries();
const HostQuery &query_named(const char *name);

// A MAC address as the mac query shows it.
std::string mac_shown(const std::array<uint8_t, 6> &mac);

} // namespace lchost
