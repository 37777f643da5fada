// SPDX-License-Identifier: MIT
// `lcache-sim host`: the cache over the Linux peers on a real kernel, under
// a seeded workload of queries and real changes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host_events.h"

namespace lchost {

// Bounds of the options; past them the command line is refused.
inline constexpr uint32_t kMaxInterfaces = 8192;
inline constexpr uint64_t kMaxChanges = 1000000;
inline constexpr uint64_t kMaxQueriesPerChange = 100000;
inline constexpr uint32_t kMaxLateBurst = 100000;

struct HostOptions {
    uint32_t interfaces = 64;
    uint64_t changes = 400;
    uint64_t queries_per_change = 100;
    uint64_t seed = 1;
    uint64_t flush_every = 50;  // changes between two flushes of every entry (0: none)
    uint32_t late_burst = 2000; // changes made at once, now and then, before a dispatch (0: none)
    bool sync = false;          // start warm: lcache_linux_sync right after the open
    bool overrun = false;       // a starved socket and bursts of changes
    bool watch = false;         // a watch on every bit: each event printed and counted
    bool json = false;
};

struct FamilyCount {
    uint64_t queries = 0;
    uint64_t hits = 0; // answered without a kernel round trip
};

struct Disagreement {
    std::string interface;
    std::string query;
    std::string cached;
    std::string kernel;
    std::string after; // the change it followed
};

// How the cache got its first answers: a sync (when asked for), then the
// first question about every watched interface.
struct StartCost {
    bool synced = false;
    double sync_ms = 0;
    uint64_t sync_round_trips = 0;
    uint64_t sync_dump_retries = 0;
    uint64_t sync_interfaces = 0; // the entries the sync filled
    uint64_t first_questions = 0;
    double first_questions_ms = 0;
    uint64_t first_questions_round_trips = 0;
    uint64_t entries = 0; // held once started
};

// Recovery from lost notifications, over the dispatches that resynced.
struct ResyncCost {
    uint64_t resyncs = 0;
    uint64_t fallbacks = 0; // dumps that failed: every entry flushed instead
    uint64_t dump_retries = 0;
    uint64_t round_trips = 0;
    uint64_t generation = 0; // views rebuilt since the bridge opened: the sync and every resync
    std::vector<double> ms;  // one per resyncing dispatch
};

struct HostResult {
    uint64_t seed = 0;
    uint32_t interfaces = 0;
    uint64_t changes = 0;
    std::map<std::string, uint64_t> changes_by_kind;
    uint64_t burst_changes = 0; // made within bursts
    uint64_t flushes = 0;
    StartCost start;
    std::map<std::string, FamilyCount> families;
    uint64_t queries = 0;
    uint64_t cached_round_trips = 0;   // the workload's queries through the cache
    uint64_t dispatch_round_trips = 0; // asked by the bridge while dispatching
    uint64_t uncached_round_trips = 0; // the same queries asked of the peers, the bridge closed
    double cached_ns_per_query = 0;
    // The same split by outcome: a hit asks nothing, a miss fills an entry.
    double cached_ns_per_hit = 0;
    double cached_ns_per_miss = 0;
    double uncached_ns_per_query = 0;
    uint64_t handled = 0, skipped = 0, malformed = 0, overruns = 0, foreign = 0;
    ResyncCost resync;
    std::vector<double> staleness_us; // one per change
    uint64_t entries = 0;
    uint64_t entry_bytes = 0;
    std::vector<Disagreement> disagreements;
    EventCounts events;
};

enum class HostOutcome {
    ran,
    no_namespace, // this host cannot give the program a network namespace
    failed,       // its interfaces could not be made, or the kernel refused a change
};

// Builds the namespace and runs the workload; `why` names what stopped it.
HostOutcome run_host(const HostOptions &options, HostResult &result, std::string &why);

} // namespace lchost
