// SPDX-License-Identifier: MIT
// The changes the workload makes to the kernel, chosen at random by
// weight, and what shows that each one reached the cache.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>

#include "host_queries.h"
#include "host_world.h"
#include "other_netns.h"

namespace lchost {

enum class ChangeKind {
    carrier,
    admin,
    mtu,
    mac,
    bridge,
    recreate,
    rename,
    index_reuse,
    netns_move,
};

struct ChangeKindRow {
    ChangeKind kind;
    const char *name; // as the summary counts it
    double weight;
};

std::span<const ChangeKindRow> change_kinds();

// One change made to the kernel, and the answer that shows it arrived.
struct Change {
    std::string what; // names the interface; set before the change is made
    uint32_t pair = 0;
    const HostQuery *witness = nullptr; // null: the entry of `gone_iod` going shows it
    std::string expected = {};          // the witness's answer, as shown
    uint32_t gone_iod = 0; // an interface whose entry must be gone
};

// Makes one change of `kind` to pair i, moving a near end into
// `elsewhere`.  0 or the kernel's negative errno; `change.what`
// says what was tried either way.
int make_change(ChangeKind kind, uint32_t i, World &world, OtherNetns &elsewhere,
                std::mt19937_64 &rng, Change &change);

// Pair i, away after a move, made again.
int bring_back(uint32_t i, World &world, Change &change);

} // namespace lchost
