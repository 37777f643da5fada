// SPDX-License-Identifier: MIT
// The run: every stretch of queries between two events is asked twice,
// first of the peers directly (the answers a client without the cache
// gets, and their cost), then of the cache; the answers must agree.  Then
// the event: a model change and its notifications, or a flush.
#include "run.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "event_count.h"
#include "lcache.h"
#include "progress.h"
#include "sim/lcache_delivery.h"
#include "sim/peer_calls.h"
#include "summary.h"
#include "trace_text.h"

namespace lcsim {
namespace {

using Clock = std::chrono::steady_clock;

// A stretch is bounded so its answers stay small in memory.
constexpr size_t kStretch = 4096;
constexpr size_t kDescribedDisagreements = 10;

using CallCounts = std::array<uint64_t, sim::kPeerFnCount>;

CallCounts call_counts() {
    CallCounts counts{};
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
        counts[fn] = sim::call_count(static_cast<sim::PeerFn>(fn));
    return counts;
}

// The calls that went to a peer, leaving out those answered locally.
uint64_t peer_calls(const CallCounts &counts) {
    uint64_t sum = 0;
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
        if (!sim::answered_locally(static_cast<sim::PeerFn>(fn)))
            sum += counts[fn];
    return sum;
}

uint64_t peer_calls() { return peer_calls(call_counts()); }

uint64_t mix(uint64_t digest, uint64_t value) {
    return (digest ^ value) * 0x100000001b3u + (value >> 29);
}

// The cache for the length of a run, cleaned up however the run ends.
class CacheSession {
  public:
    explicit CacheSession(const lcache_attr &attr) {
        if (lcache_init(&attr) != 1)
            throw std::runtime_error(std::string("lcache_init failed: ") + lcache_print_str);
    }
    CacheSession(const CacheSession &) = delete;
    CacheSession &operator=(const CacheSession &) = delete;
    ~CacheSession() { lcache_cleanup(); }
};

class Runner {
  public:
    Runner(const RunOptions &options, Switchboard &board, const EventCounter &events)
        : options_(options), board_(board), events_(events),
          workload_(options.workload, board.model()) {
        stats_.peers = options.peers;
        stats_.seed = options.workload.seed;
        stats_.profile = options.cache.profile;
    }

    void run() {
        const CallCounts before = call_counts();
        Progress progress(options_.workload.queries, options_.progress);
        std::vector<Query> stretch;
        while (!workload_.done()) {
            workload_.next_queries(stretch, kStretch);
            ask(stretch);
            board_.check();
            while (auto event = workload_.next_event())
                handle(*event);
            progress.update(workload_.issued());
        }
        const CallCounts after = call_counts();
        for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
            stats_.calls_by_function[fn] = after[fn] - before[fn] - without_cache_[fn];
        stats_.interfaces = board_.model().interfaces().size();
        stats_.vlans = board_.model().vlans().size();
        collect_cache_figures(stats_);
        stats_.if_events = events_.interfaces();
        stats_.vlan_events = events_.vlans();
    }

    const RunStats &stats() const { return stats_; }

  private:
    void ask(const std::vector<Query> &queries) {
        direct_.resize(queries.size());
        cached_.resize(queries.size());
        const CallCounts calls_before = call_counts();
        const auto waited_before = board_.round_trip_time();
        const auto t0 = Clock::now();
        for (size_t i = 0; i < queries.size(); ++i)
            direct_[i] = queries[i].kind->direct(queries[i].target);
        const auto t1 = Clock::now();
        const auto waited_between = board_.round_trip_time();
        const CallCounts calls_between = call_counts();
        for (size_t i = 0; i < queries.size(); ++i)
            cached_[i] = queries[i].kind->cached(queries[i].target);
        const auto t2 = Clock::now();
        const auto waited_after = board_.round_trip_time();
        const CallCounts calls_after = call_counts();
        for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn) {
            without_cache_[fn] += calls_between[fn] - calls_before[fn];
            if (sim::answered_locally(static_cast<sim::PeerFn>(fn)))
                stats_.local_answers_without_cache += calls_between[fn] - calls_before[fn];
        }
        stats_.calls_without_cache += peer_calls(calls_between) - peer_calls(calls_before);
        stats_.calls_by_queries += peer_calls(calls_after) - peer_calls(calls_between);
        stats_.time_without_cache += t1 - t0;
        stats_.time_with_cache += t2 - t1;
        stats_.round_trips_without_cache += waited_between - waited_before;
        stats_.round_trips_with_cache += waited_after - waited_between;
        for (size_t i = 0; i < queries.size(); ++i) {
            ++stats_.families[static_cast<size_t>(queries[i].kind->family)].queries;
            stats_.answer_digest = mix(stats_.answer_digest, cached_[i].value);
            if (!queries[i].kind->agree(cached_[i], direct_[i]))
                disagreed(queries[i]);
        }
        stats_.queries += queries.size();
    }

    // Asked again to describe it: the model has not changed since.
    void disagreed(const Query &q) {
        if (++stats_.disagreements > kDescribedDisagreements)
            return;
        const Answer cached = q.kind->cached(q.target);
        const Answer direct = q.kind->direct(q.target);
        stats_.first_disagreements.push_back(
            {q.kind->function, q.target, q.kind->show(cached), q.kind->show(direct)});
    }

    void handle(const Event &event) {
        const uint64_t before = peer_calls();
        if (const auto *flush = std::get_if<Flush>(&event)) {
            lcache_if_flush_all(flush->option);
            lcache_vlan_flush_all(flush->option);
            ++stats_.flushes;
            stats_.calls_by_flushes += peer_calls() - before;
            return;
        }
        for (const sim::Change &change : std::get<ModelChange>(event).changes) {
            const sim::Applied applied = board_.apply(change);
            workload_.applied(change, applied);
            const uint64_t delivering = peer_calls();
            sim::deliver_all(applied.sent);
            stats_.calls_by_notifications += peer_calls() - delivering;
            stats_.notifications += applied.sent.size();
        }
        ++stats_.changes;
    }

    const RunOptions &options_;
    Switchboard &board_;
    const EventCounter &events_;
    Workload workload_;
    RunStats stats_;
    CallCounts without_cache_{}; // the calls asked directly, by function
    std::vector<Answer> direct_;
    std::vector<Answer> cached_;
};

void print_report() {
    std::string text;
    set_trace_output(&text, nullptr);
    lcache_set_print(trace_print, 0);
    lcache_dump();
    lcache_vlan_dump();
    lcache_set_print(nullptr, 0);
    set_trace_output(nullptr, nullptr);
    std::fputs(text.c_str(), stdout);
}

// The switch gets its extension data before the cache starts, as a switch
// that has been up for a while has it.
void prepare(Switchboard &board, const lcache_attr &attr) {
    for (const sim::Change &change : extension_setup(board.model(), attr.ext_key))
        board.apply(change);
}

} // namespace

int run(const RunOptions &options) {
    try {
        const lcache_attr attr = make_attributes(options.cache);
        sim::check_leaf_options(options.leaf);
        auto board = open_switchboard(options.peers, options.socket, options.ipc_timeout_ms);
        board->build(options.leaf);
        prepare(*board, attr);
        const CacheSession cache(attr);
        const EventCounter events;
        Runner runner(options, *board, events);
        runner.run();
        if (options.json) {
            print_json(runner.stats(), stdout);
        } else {
            if (options.report)
                print_report();
            print_summary(runner.stats(), stdout);
        }
        return runner.stats().disagreements == 0 ? 0 : tooluse::kExitFailed;
    } catch (const std::invalid_argument &e) {
        std::fprintf(stderr, "lcache-sim: %s\n", e.what());
        return tooluse::kExitMisuse;
    } catch (const sim::ModelError &e) {
        std::fprintf(stderr, "lcache-sim: the switch refused: %s\n", e.what());
        return tooluse::kExitMisuse;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "lcache-sim: %s\n", e.what());
        return tooluse::kExitFailed;
    }
}

} // namespace lcsim
