// SPDX-License-Identifier: MIT
// Cold paths: creating, refreshing, flushing and destroying entries, and
// one change notification of each kind, on cached interfaces drawn at
// random.  No trace sink is set, so the cost includes exactly the event-
// history record each trace writes.  Every benchmark leaves the cache
// filled again.
#include <benchmark/benchmark.h>


#include <string>
#include <vector>

#include "sim/peer_calls.h"
#include "lcache_records.h"
#include "suites.h"
#include "world.h"

namespace bench {

namespace {

constexpr uint32_t kColdPorts = 1024;
constexpr uint32_t kChannels = 64;
constexpr uint32_t kMtuChangedBit = 12;

// Time per entry (or per notification) of a benchmark that handles
// `per_iteration` of them in each iteration, and the peer calls each made.
void report_per_item(benchmark::State &state, uint64_t per_iteration, uint64_t calls) {
    using benchmark::Counter;
    const double items = static_cast<double>(per_iteration);
    state.counters["per_item"] =
        Counter(items, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["peer_calls"] =
        Counter(static_cast<double>(calls) / items, Counter::kAvgIterations);
}

void remove_all(const World &w) {
    for (uint32_t iod : w.all_iods())
        lcache_if_remove_entry_by_iod(iod);
}

void create_full_refresh(benchmark::State &state) {
    World &w = World::get(Shape{kColdPorts});
    uint64_t calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        remove_all(w);
        const uint64_t before = sim::total_calls();
        state.ResumeTiming();
        for (uint32_t iod : w.all_iods())
            benchmark::DoNotOptimize(lcache_if_create_entry_by_iod(iod));
        calls += sim::total_calls() - before;
    }
    report_per_item(state, w.all_iods().size(), calls);
    w.fill();
}

void destroy(benchmark::State &state) {
    World &w = World::get(Shape{kColdPorts});
    std::vector<lcache_if_entry_t *> entries;
    uint64_t calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.fill();
        entries = w.entries();
        const uint64_t before = sim::total_calls();
        state.ResumeTiming();
        for (lcache_if_entry_t *entry : entries)
            lcache_if_destroy_entry(entry);
        calls += sim::total_calls() - before;
    }
    report_per_item(state, entries.size(), calls);
    w.fill();
}

void refresh_one_dirty_bit(benchmark::State &state) {
    World &w = World::get(Shape{kColdPorts});
    std::vector<lcache_if_entry_t *> drawn;
    for (uint32_t iod : w.iods())
        drawn.push_back(lcache_find_entry_by_iod(iod));
    const uint64_t calls = sim::total_calls();
    uint32_t i = 0;
    for (auto _ : state) {
        lcache_if_entry_t *entry = drawn[i];
        entry->dirty |= LCACHE_ATTR_LINKUP;
        benchmark::DoNotOptimize(lcache_if_update_entry(entry, 0));
        i = (i + 1) & (kDraws - 1);
    }
    report_per_item(state, 1, sim::total_calls() - calls);
}

void flush_all(benchmark::State &state, uint32_t ports) {
    World &w = World::get(Shape{ports});
    const uint64_t calls = sim::total_calls();
    for (auto _ : state)
        benchmark::DoNotOptimize(lcache_if_flush_all(0));
    report_per_item(state, ports, sim::total_calls() - calls);
    w.fill();
}

// One notification per iteration, about the interface of draw i.
template <class Notify> void notify(benchmark::State &state, const Shape &shape, Notify send) {
    World &w = World::get(shape);
    const uint64_t calls = sim::total_calls();
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(send(w, i));
        i = (i + 1) & (kDraws - 1);
    }
    report_per_item(state, 1, sim::total_calls() - calls);
    w.fill();
}

lcache_l2_msg_t l2_msg(const World &w, uint32_t i) {
    const sim::Mac &mac = w.model().at(w.ifindexes()[i]).mac;
    return lcache_records::l2_record(w.ifindexes()[i], w.iods()[i], lcache_records::kL2Vlan, mac,
                                     1500, lcache_records::VlanField::a, 1);
}

lcache_l3_msg_t l3_msg(const World &w, uint32_t i) {
    return lcache_records::l3_record(w.ifindexes()[i], w.iods()[i], lcache_records::kL3Up, 1500);
}

// The first operational member of a port-channel moves to the port it
// already has: the whole bundle path runs, keys refetched, nothing removed.
lcache_agg_fop_msg_t fop_msg(const World &w, uint32_t i) {
    const std::vector<uint32_t> &channels = w.channel_ifindexes();
    const uint32_t channel = channels[i % channels.size()];
    const uint32_t member = w.model().first_operational_member(channel);
    return lcache_records::fop_record(channel, member, member);
}

template <class Notify> void add_notify(const char *kind, const Shape &shape, Notify send) {
    const std::string name = std::string("notify/") + kind;
    benchmark::RegisterBenchmark(
        name.c_str(), [shape, send](benchmark::State &state) { notify(state, shape, send); });
}

} // namespace

void register_cold_benchmarks() {
    benchmark::RegisterBenchmark("cold/create_full_refresh", create_full_refresh);
    benchmark::RegisterBenchmark("cold/refresh_one_dirty_bit", refresh_one_dirty_bit);
    benchmark::RegisterBenchmark("cold/destroy", destroy);
    for (uint32_t ports : kSizes)
        benchmark::RegisterBenchmark(("cold/flush_all/" + std::to_string(ports)).c_str(), flush_all,
                                     ports);

    const Shape ports{kColdPorts};
    add_notify("phy_state", ports, [](const World &w, uint32_t i) {
        const lcache_state_msg_t msg =
            lcache_records::phy_record(w.ifindexes()[i], w.iods()[i], lcache_records::kPhyUp);
        return lcache_update_phy_state(&msg);
    });
    add_notify("l2_state", ports, [](const World &w, uint32_t i) {
        const lcache_l2_msg_t msg = l2_msg(w, i);
        return lcache_update_l2_state(&msg);
    });
    add_notify("l3_state", ports, [](const World &w, uint32_t i) {
        lcache_l3_msg_t msg = l3_msg(w, i);
        return lcache_update_l3_state(&msg);
    });
    add_notify("l3_param", ports, [](const World &w, uint32_t i) {
        const lcache_state_msg_t msg = lcache_records::l3_param_record(w.ifindexes()[i], w.iods()[i]);
        const uint32_t changes = 1u << kMtuChangedBit;
        return lcache_update_l3_param(&msg, &changes);
    });
    add_notify("l2_bundle_state", ports, [](const World &w, uint32_t i) {
        const lcache_l2_msg_t msg = l2_msg(w, i);
        return lcache_update_l2_bundle_state(&msg);
    });
    add_notify("l3_bundle_state", ports, [](const World &w, uint32_t i) {
        const lcache_l3_msg_t msg = l3_msg(w, i);
        return lcache_update_l3_bundle_state(&msg);
    });
    add_notify("agg_fop", Shape{kColdPorts, kChannels}, [](const World &w, uint32_t i) {
        const lcache_agg_fop_msg_t msg = fop_msg(w, i);
        return lcache_update_agg_fop(&msg);
    });
    add_notify("switchport", ports,
               [](const World &w, uint32_t i) { return lcache_update_switchport(w.iods()[i]); });
    add_notify("vlan", ports,
               [](const World &w, uint32_t i) { return lcache_update_vlan(w.iods()[i]); });
}

} // namespace bench
