// SPDX-License-Identifier: MIT
// The questions `lcache-sim host` asks about an interface, each both ways:
// through the cache and straight from the Linux peers.  Answers are
// compared as text, so names and MACs compare like numbers do.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lchost {

struct QueryKind {
    const char *name;
    const char *family;
    std::string (*cached)(uint32_t iod);
    std::string (*peer)(uint32_t iod); // what the cache would ask
    // The kernel's answer where the peer's is not independent of the bridge
    // (the peers keep names while it is open); null: the peer's, which asks
    // the kernel afresh after each dispatch.
    std::string (*independent)(uint32_t iod) = nullptr;

    // The answer a cached one is checked against.
    std::string kernel(uint32_t iod) const { return independent ? independent(iod) : peer(iod); }
};

std::span<const QueryKind> query_kinds();
const QueryKind &kind_named(const char *name);

// The families, in the order the summary lists them.
std::span<const char *const> families();

} // namespace lchost
