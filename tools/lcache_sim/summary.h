// SPDX-License-Identifier: MIT
// What a run measured, and its summary as text or as JSON.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "event_count.h"
#include "lcache.h"
#include "mtrack.h"
#include "queries.h"
#include "sim/peer_fn.h"
#include "switchboard.h"

namespace lcsim {

struct FamilyFigures {
    uint64_t queries = 0; // asked by the workload
    uint64_t hits = 0;    // the cache's own counters of the family's rows
    uint64_t misses = 0;
};

// One query whose cached answer differed from the peer's, each answer as
// the query kind shows it.
struct Disagreement {
    std::string function; // the cache's entry point
    Target target;
    std::string cached;
    std::string peer;
};

struct RunStats {
    PeerMode peers = PeerMode::inproc;
    uint64_t seed = 0;
    std::string profile;
    lcache_attr attr{}; // as the cache holds it
    size_t interfaces = 0;
    size_t vlans = 0;

    uint64_t queries = 0;
    uint64_t changes = 0;
    uint64_t notifications = 0;
    uint64_t flushes = 0;
    std::array<FamilyFigures, kFamilyCount> families{};

    // Peer calls made with the cache, by what made them, and made by the
    // same queries without it.
    uint64_t calls_by_queries = 0;
    uint64_t calls_by_notifications = 0;
    uint64_t calls_by_flushes = 0;
    uint64_t calls_without_cache = 0;
    // Every call of a peer function made with the cache, by function, the
    // ones answered locally (sim::answered_locally) included.  Those are
    // left out of the peer call counts above and counted here instead.
    std::array<uint64_t, sim::kPeerFnCount> calls_by_function{};
    uint64_t local_answers_without_cache = 0;
    // Each time is the round trips to a server process and the work done in
    // this one.
    std::chrono::nanoseconds time_with_cache{};
    std::chrono::nanoseconds time_without_cache{};
    std::chrono::nanoseconds round_trips_with_cache{};
    std::chrono::nanoseconds round_trips_without_cache{};

    // The change events a watch on every attribute heard.
    EventCounts if_events;
    EventCounts vlan_events;

    mtrack_usage_t if_memory{};
    mtrack_usage_t vlan_memory{};

    uint64_t disagreements = 0;
    std::vector<Disagreement> first_disagreements; // at most a few
    uint64_t answer_digest = 0;                    // of every cached answer, in order
};

// Reads the cache's hit and miss counters and the memory it holds, while
// it is still initialised.
void collect_cache_figures(RunStats &stats);

void print_summary(const RunStats &stats, std::FILE *out);
// One key per line, so that scripts can also filter it with line tools;
// the disagreements described are listed whole.
void print_json(const RunStats &stats, std::FILE *out);

} // namespace lcsim
