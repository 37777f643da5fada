// SPDX-License-Identifier: MIT
// "No watcher, no cost": the same operations with no watch and with one
// watch on every attribute, side by side.  The operations are a
// notification that changes a cached value (an L2 state giving a new MAC,
// the old one on the next round) and a linkup hit.  The watch's callback
// only counts, so its rows show what the cache spends on recording and
// delivering an event.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lcache_records.h"
#include "sim/peer_calls.h"
#include "suites.h"
#include "world.h"

namespace bench {

namespace {

constexpr uint32_t kPorts = 1024;

uint64_t g_heard;

void count(const lcache_change_t *, void *) { ++g_heard; }

// One watch on every attribute for the length of a row, when asked for.
class MaybeWatched {
  public:
    explicit MaybeWatched(bool watched)
        : handle_(watched ? lcache_watch_add(0xFFFFFFFFu, count, nullptr) : -1) {}
    ~MaybeWatched() {
        if (handle_ >= 0)
            lcache_watch_remove(handle_);
    }
    MaybeWatched(const MaybeWatched &) = delete;
    MaybeWatched &operator=(const MaybeWatched &) = delete;
    bool refused(bool watched) const { return watched && handle_ < 0; }

  private:
    int handle_;
};

void report_events(benchmark::State &state, uint64_t heard_before) {
    state.counters["events"] = benchmark::Counter(static_cast<double>(g_heard - heard_before),
                                                  benchmark::Counter::kAvgIterations);
}

// The model's MAC of the drawn interface, or (odd rounds) that MAC with
// its last byte flipped: every notification changes the cached MAC.
lcache_l2_msg_t mac_msg(const World &w, uint32_t i, bool flipped) {
    sim::Mac mac = w.model().at(w.ifindexes()[i]).mac;
    if (flipped)
        mac[5] ^= 0xFF;
    return lcache_records::l2_record(w.ifindexes()[i], w.iods()[i], lcache_records::kL2NoVlan, mac,
                                     w.model().at(w.ifindexes()[i]).mtu,
                                     lcache_records::VlanField::b, 0);
}

void new_mac(benchmark::State &state, bool watched) {
    World &w = World::get(Shape{kPorts});
    // Whether each interface holds the flipped MAC now, by iod.
    std::vector<uint8_t> flipped(*std::ranges::max_element(w.all_iods()) + 1);
    const MaybeWatched watch(watched);
    if (watch.refused(watched)) {
        state.SkipWithError("the cache refused the watch");
        return;
    }
    const uint64_t heard = g_heard;
    uint32_t i = 0;
    for (auto _ : state) {
        uint8_t &now = flipped[w.iods()[i]];
        now ^= 1;
        lcache_l2_msg_t msg = mac_msg(w, i, now != 0);
        benchmark::DoNotOptimize(lcache_update_l2_state(&msg));
        i = (i + 1) & (kDraws - 1);
    }
    report_events(state, heard);
    if (watched && g_heard == heard)
        state.SkipWithError("the watch heard nothing");
    // Every interface gets its own MAC back.
    for (uint32_t d = 0; d < kDraws; ++d) {
        if (flipped[w.iods()[d]]) {
            flipped[w.iods()[d]] = 0;
            lcache_l2_msg_t msg = mac_msg(w, d, false);
            lcache_update_l2_state(&msg);
        }
    }
    w.fill();
}

void hit(benchmark::State &state, bool watched) {
    World &w = World::get(Shape{kPorts});
    const MaybeWatched watch(watched);
    if (watch.refused(watched)) {
        state.SkipWithError("the cache refused the watch");
        return;
    }
    const uint64_t misses = total_misses();
    const uint64_t calls = sim::total_calls();
    const uint64_t heard = g_heard;
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lcache_netif_is_linkup(w.iods()[i]));
        i = (i + 1) & (kDraws - 1);
    }
    report_events(state, heard);
    if (total_misses() != misses || sim::total_calls() != calls)
        state.SkipWithError("a query missed the cache");
}

} // namespace

// Each operation's two rows next to each other.
void register_watch_benchmarks() {
    using Body = void (*)(benchmark::State &, bool);
    for (const auto &[name, body] : {std::pair<const char *, Body>{"l2_state_new_mac", new_mac},
                                     std::pair<const char *, Body>{"hit_linkup", hit}}) {
        for (const auto &[suffix, watched] :
             {std::pair{"no_watch", false}, std::pair{"one_watch", true}}) {
            const Body run = body;
            const bool w = watched;
            benchmark::RegisterBenchmark(
                (std::string("watch/") + name + "/" + suffix).c_str(),
                [run, w](benchmark::State &state) { run(state, w); });
        }
    }
}

} // namespace bench
