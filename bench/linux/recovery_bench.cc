// SPDX-License-Identifier: MIT
// Notifications lost for real, and the way back.  Both consumers' sockets
// are shrunk to the kernel's smallest receive buffer, then the MTU of
// every near end is changed, each change acknowledged: every notification
// has been sent, and nearly all of them dropped, before the clock starts.
// The row times one consumer from its first read of its socket to its
// answer about every interface of the set (the four questions; libnl's
// links found by its hashed nl_cache_search, since rtnl_link_get walks a
// list), then the other recovers untimed and the answers are checked
// against the kernel's.
#include <netlink/cache.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "answers.h"
#include "host_set.h"
#include "lcache_linux.h"
#include "linux_bench.h"
#include "rows.h"
#include "send_counter.h"

namespace lbench {
namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Every iteration changes every near end once, each change a round trip
// through the kernel's lock on links, which the machine's other work
// shares: the smaller sets get more iterations, never fewer than three.
int64_t recoveries(uint32_t pairs) { return std::max<int64_t>(3, 2048 / pairs); }

// What one consumer's recovery did, summed over the iterations.
struct Recovery {
    double read_ms = 0; // until the consumer's view is the kernel's again
    double ask_ms = 0;  // the questions about every interface
    uint64_t round_trips = 0;
    uint64_t resyncs = 0;
    uint64_t dump_retries = 0;
    uint64_t fallbacks = 0;
    uint64_t overruns = 0; // recoveries that met the kernel's report of the loss
    uint64_t disagreements = 0;
};

// The bridge: one dispatch meets the overrun, drops what is queued and
// merges one dump.  Empty, or why not.
std::string lcache_recovers() {
    const int handled = lcache_linux_dispatch();
    return handled < 0 ? std::string("lcache_linux_dispatch: ") + std::strerror(-handled) : "";
}

// libnl's manager reports the overrun (-NLE_NOMEM) and reads what is
// queued on the next call; its user then refills the cache with one dump.
// Empty, or why not.
std::string libnl_recovers(HostSet &set, Recovery &recovery) {
    int read = set.drain_libnl();
    if (read == -NLE_NOMEM) {
        ++recovery.overruns;
        read = set.drain_libnl();
    }
    if (read < 0)
        return std::string("nl_cache_mngr_data_ready: ") + nl_geterror(read);
    if (int error = nl_cache_refill(set.libnl_refill_socket(), set.libnl_links()); error < 0)
        return std::string("nl_cache_refill: ") + nl_geterror(error);
    return "";
}

// Every near end's MTU changed once, with both sockets at their smallest.
std::string lose_notifications(HostSet &set) {
    std::string why;
    if (!set.shrink_notification_buffers(why))
        return why;
    for (uint32_t i = 0; i < set.size(); ++i) {
        Pair &p = set.pair(i);
        p.mtu = p.mtu == 1500 ? 1400 : 1500;
        if (int error = set.control().set_mtu(p.near, p.mtu))
            return "the kernel refused an MTU change: " + std::string(std::strerror(-error));
    }
    return "";
}

// Every interface's four answers, from the consumer that recovered.
void ask_every(HostSet &set, bool lcache_side, const LibnlKeys &keys, std::vector<Answers> &answers) {
    const std::vector<uint32_t> &interfaces = set.interfaces();
    for (size_t i = 0; i < interfaces.size(); ++i)
        answers[i] = lcache_side ? lcache_answers(interfaces[i]) : libnl_answers_hashed(set.libnl_links(), keys[i]);
}

// One recovery of each consumer, the timed one first.  Empty, or why the
// row cannot go on.
std::string recover_once(benchmark::State &state, HostSet &set, bool lcache_side, Recovery &recovery,
                         const LibnlKeys &keys, std::vector<Answers> &answers) {
    if (std::string why = lose_notifications(set); !why.empty())
        return why;
    const std::vector<uint32_t> &interfaces = set.interfaces();
    lcache_linux_reset_counters();
    const uint64_t sent_before = requests_sent();
    const auto start = Clock::now();
    std::string why = lcache_side ? lcache_recovers() : libnl_recovers(set, recovery);
    const auto read = Clock::now();
    if (why.empty())
        ask_every(set, lcache_side, keys, answers);
    const auto answered = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(answered - start).count());
    recovery.read_ms += ms(read - start);
    recovery.ask_ms += ms(answered - read);
    if (!why.empty())
        return why;
    if (lcache_side) {
        const lcache_linux_counters_t c = counters();
        recovery.round_trips += c.round_trips;
        recovery.resyncs += c.resyncs;
        recovery.dump_retries += c.dump_retries;
        recovery.fallbacks += c.resync_fallbacks;
        recovery.overruns += c.overruns != 0;
    } else {
        recovery.round_trips += requests_sent() - sent_before;
    }
    Recovery untimed;
    why = lcache_side ? libnl_recovers(set, untimed) : lcache_recovers();
    if (!why.empty())
        return why;
    const std::optional<uint32_t> wrong = disagreements(interfaces, answers);
    if (!wrong)
        return "the kernel's link dump, to check the answers, failed";
    recovery.disagreements += *wrong;
    return "";
}

void recovery_row(benchmark::State &state, uint32_t pairs, bool lcache_side) {
    HostSet *set = set_or_fail(state, pairs);
    if (!set)
        return;
    // A client that started warm: every interface of the set has its entry.
    if (int held = lcache_linux_sync(); held < 0)
        return fail(state, std::string("lcache_linux_sync: ") + std::strerror(-held));
    std::vector<Answers> answers(set->interfaces().size());
    const LibnlKeys keys(set->interfaces());
    Recovery recovery;
    for (auto _ : state) {
        if (std::string why = recover_once(state, *set, lcache_side, recovery, keys, answers); !why.empty()) {
            fail(state, why);
            break;
        }
    }
    std::string why;
    if (!set->restore_notification_buffers(why))
        return fail(state, why);
    const auto per_recovery = [&](uint64_t total) {
        return static_cast<double>(total) / static_cast<double>(state.iterations());
    };
    state.counters["changes"] = pairs;
    state.counters["interfaces"] = static_cast<double>(set->interfaces().size());
    state.counters["read_ms"] = recovery.read_ms / static_cast<double>(state.iterations());
    state.counters["ask_ms"] = recovery.ask_ms / static_cast<double>(state.iterations());
    state.counters["round_trips"] = per_recovery(recovery.round_trips);
    state.counters["disagreements"] = static_cast<double>(recovery.disagreements);
    if (lcache_side) {
        state.counters["resyncs"] = per_recovery(recovery.resyncs);
        state.counters["dump_retries"] = per_recovery(recovery.dump_retries);
        state.counters["resync_fallbacks"] = static_cast<double>(recovery.fallbacks);
    }
    if (recovery.overruns != static_cast<uint64_t>(state.iterations()))
        fail(state, "a recovery met no overrun: the socket held every change");
    else if (recovery.fallbacks != 0)
        fail(state, "a resync's dump failed and the cache was flushed instead");
    else if (recovery.disagreements != 0)
        fail(state, "an answer after the recovery is not the kernel's");
}

} // namespace

void register_recovery(uint32_t pairs) {
    const std::string size = "/" + std::to_string(pairs);
    benchmark::RegisterBenchmark(("recovery/lcache" + size).c_str(), recovery_row, pairs, true)
        ->UseManualTime()
        ->Iterations(recoveries(pairs));
    benchmark::RegisterBenchmark(("recovery/libnl_refill" + size).c_str(), recovery_row, pairs, false)
        ->UseManualTime()
        ->Iterations(recoveries(pairs));
}

} // namespace lbench
