// SPDX-License-Identifier: MIT
// Hit paths, one query per iteration, keys drawn at random over every cached
// interface (64 Ki draws, the same draws for the cache and each baseline).
// A cache row fails unless every query was answered from memory alone: no
// miss, no peer call, no allocation.
#include <benchmark/benchmark.h>

#include <memory>
#include <span>
#include <string>

#include "baselines.h"
#include "behind_call.h"
#include "heap_counter.h"
#include "mtrack.h"
#include "netif.h"
#include "sim/peer_calls.h"
#include "suites.h"
#include "world.h"

namespace bench {

namespace {

// The baselines over the current world's entries, rebuilt when those change.
struct Baselines {
    explicit Baselines(const World &w)
        : generation(w.generation()), entries(w.entries()), array(entries), std_map(entries),
          absl_map(entries), libnl(entries) {}

    uint64_t generation;
    std::vector<lcache_if_entry_t *> entries;
    ArrayIndex array;
    StdMapIndex std_map;
    AbslMapIndex absl_map;
    LibnlIndex libnl;
};

const Baselines &baselines(const World &w) {
    static std::unique_ptr<Baselines> current;
    if (!current || current->generation != w.generation()) {
        current.reset();
        current = std::make_unique<Baselines>(w);
    }
    return *current;
}

uint64_t tracker_allocs() {
    uint64_t sum = 0;
    for (uint32_t type = 0; type < LCACHE_MEM_MAX; ++type) {
        mtrack_usage_t usage{};
        mtrack_get_usage(LCACHE_MTRACK_ID, type, &usage);
        sum += usage.allocs;
    }
    return sum;
}

struct Tally {
    uint64_t heap = heap_allocations();
    uint64_t tracker = tracker_allocs();
    uint64_t misses = total_misses();
    uint64_t peer_calls = sim::total_calls();
};

enum class Source { cache, elsewhere };

void report(benchmark::State &state, const Tally &before, Source source) {
    const Tally after;
    const auto per_query = [](uint64_t n) {
        return benchmark::Counter(static_cast<double>(n), benchmark::Counter::kAvgIterations);
    };
    state.counters["heap_allocs"] = per_query(after.heap - before.heap);
    state.counters["tracker_allocs"] = per_query(after.tracker - before.tracker);
    state.counters["peer_calls"] = per_query(after.peer_calls - before.peer_calls);
    if (source != Source::cache)
        return;
    if (after.misses != before.misses || after.peer_calls != before.peer_calls)
        state.SkipWithError("a query missed the cache");
    else if (after.heap != before.heap || after.tracker != before.tracker)
        state.SkipWithError("the hit path allocated");
}

template <class K, class Query>
void time_queries(benchmark::State &state, std::span<const K> keys, Source source, Query query) {
    const Tally before;
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(query(keys[i]));
        i = (i + 1) & (kDraws - 1);
    }
    report(state, before, source);
}

// A row of one query family: "hit/<family>/<impl>/<interfaces>".  The
// cache's rows name the bucket count when it is not the default.
template <class Body>
void add(const char *family, std::string impl, const Shape &shape, Body body) {
    if (shape.table_size != 0)
        impl += "_" + std::to_string(shape.table_size) + "_buckets";
    const std::string name =
        std::string("hit/") + family + "/" + impl + "/" + std::to_string(shape.ports);
    benchmark::RegisterBenchmark(
        name.c_str(), [shape, body](benchmark::State &state) { body(state, World::get(shape)); });
}

enum class Key { iod, ifindex };

template <class Query>
void add_cache(const char *family, const char *impl, const Shape &shape, Key key, Query query) {
    add(family, impl, shape, [key, query](benchmark::State &state, const World &w) {
        time_queries(state, key == Key::iod ? w.iods() : w.ifindexes(), Source::cache, query);
    });
}

template <class Index>
void add_baseline(const char *impl, const Shape &shape, Index Baselines::*index) {
    add("linkup", impl, shape, [index](benchmark::State &state, const World &w) {
        const Index &chosen = baselines(w).*index;
        time_queries(state, w.iods(), Source::elsewhere,
                     [&chosen](uint32_t iod) { return chosen.linkup(iod); });
    });
}

void add_cache_rows(const Shape &shape) {
    add_cache("linkup", "lcache", shape, Key::iod,
              [](uint32_t iod) { return lcache_netif_is_linkup(iod); });
    add_cache("mtu", "lcache", shape, Key::iod,
              [](uint32_t iod) { return lcache_netif_get_if_mtu(iod); });
    add_cache("mac", "lcache", shape, Key::iod,
              [](uint32_t iod) { return lcache_netif_get_if_mac_addr(iod); });
    add_cache("ifindex_from_iod", "lcache", shape, Key::iod, [](uint32_t iod) {
        uint32_t if_index = 0;
        return lcache_netif_get_ifindex_frm_iod(iod, &if_index) ^ if_index;
    });
    add_cache("iod_from_ifindex", "lcache", shape, Key::ifindex, [](uint32_t if_index) {
        uint32_t iod = 0;
        return lcache_netif_get_iod_frm_ifindex(if_index, &iod) ^ iod;
    });
    add_cache("extension", "lcache", shape, Key::iod,
              [](uint32_t iod) { return lcache_netif_get_extension(iod, kExtKey); });
    add("vlan_bd", "lcache", shape, [](benchmark::State &state, const World &w) {
        // The keys are made before the clock starts, as a client holds them:
        // building the packed key in the loop timed the store-to-load stall
        // of its copy, not the cache.
        std::vector<vlan_key_t> keys;
        for (uint32_t vlan : w.vlans())
            keys.push_back(vlan_key_t{w.model().slice(), vlan});
        time_queries(state, std::span<const vlan_key_t>(keys), Source::cache,
                     [](const vlan_key_t &key) {
                         uint16_t bd = 0;
                         return lcache_vlan_get_bd(key, &bd) ^ bd;
                     });
    });
}

// The linkup hits again, timed from inside a trace callback: while one
// runs, the cache refuses whatever could release an entry.  Side by side
// with linkup/lcache the row shows what that guard costs a hit.  The
// callback is reached through the trace that an entry's refresh writes
// first.
benchmark::State *g_in_callback_state;
std::span<const uint32_t> g_in_callback_keys;

int time_linkup_in_callback(uint32_t, const char *, ...) {
    lcache_set_print(nullptr, 0); // once: the refresh goes on tracing
    time_queries(*g_in_callback_state, g_in_callback_keys, Source::cache,
                 [](uint32_t iod) { return lcache_netif_is_linkup(iod); });
    return 0;
}

void add_linkup_in_callback(const Shape &shape) {
    add("linkup", "lcache_in_callback", shape, [](benchmark::State &state, const World &w) {
        g_in_callback_state = &state;
        g_in_callback_keys = w.iods();
        lcache_print_fn sink = nullptr;
        uint32_t arg = 0;
        lcache_attr_get_debug_print_arg(&sink, &arg);
        lcache_set_print(time_linkup_in_callback, 0);
        lcache_if_update_if(w.ifindexes()[0]);
        lcache_set_print(sink, arg);
    });
}

} // namespace

void register_hit_benchmarks(uint32_t ports) {
    const Shape shape{ports};
    add_cache_rows(shape);
    add_linkup_in_callback(shape);
    add_baseline("array", shape, &Baselines::array);
    add_baseline("unordered_map", shape, &Baselines::std_map);
    add("linkup", "unordered_map_behind_call", shape, [](benchmark::State &state, const World &w) {
        behind_call_use_map(&baselines(w).std_map.map());
        time_queries(state, w.iods(), Source::elsewhere,
                     [](uint32_t iod) { return behind_call_map_linkup(iod); });
    });
    add_baseline("absl_flat_hash_map", shape, &Baselines::absl_map);
    add_baseline("libnl", shape, &Baselines::libnl);
    add("linkup", "peer_inprocess", shape, [](benchmark::State &state, const World &w) {
        time_queries(state, w.iods(), Source::elsewhere,
                     [](uint32_t iod) { return netif_is_linkup(iod); });
    });
    // Beyond one interface per bucket of the default table, the cache is
    // also measured as it should be configured: a bucket per interface.
    if (ports > LCACHE_DEFAULT_TABLE_SIZE)
        add_cache_rows(Shape{ports, 0, ports});
}

} // namespace bench
