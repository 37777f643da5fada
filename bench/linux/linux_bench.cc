// SPDX-License-Identifier: MIT
// The rows of one veth set: the same question (is the link up) about the
// same interfaces, asked of every contender; the kernel's change stream
// read by the cache's bridge and by libnl's cache manager; and how long
// the cache answers an old value after a change.
#include "linux_bench.h"

#include <linux/if.h>
#include <netlink/cache.h>
#include <netlink/route/link.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "host_set.h"
#include "lcache.h"
#include "lcache_linux.h"
#include "netif.h"
#include "rows.h"

namespace lbench {
namespace {

using Clock = std::chrono::steady_clock;

// Keys are read in turn from this many draws made at random over every
// pair, the same draws for every contender at one size.
constexpr size_t kDraws = 1 << 16;
// Changes made, and then read by both consumers, per dispatch iteration.
constexpr uint32_t kBatch = 64;
// How long a change may take to reach the cache before the row fails.  A
// carrier change is announced by the kernel's link-watch work, which
// serves a bounded number of devices per run and, under a burst, waits
// about a second between runs: it gets far longer.
constexpr int kSettleMs = 2000;
constexpr int kCarrierSettleMs = 30000;

const std::vector<uint32_t> &draws(uint32_t pairs) {
    static std::vector<uint32_t> keys;
    static uint32_t drawn_for = 0;
    if (drawn_for != pairs) {
        std::mt19937 rng(pairs);
        std::uniform_int_distribution<uint32_t> pick(0, pairs - 1);
        keys.resize(kDraws);
        for (uint32_t &k : keys)
            k = pick(rng);
        drawn_for = pairs;
    }
    return keys;
}

// One query per iteration.  `key_of(set, pair)` gives the contender's key
// for a pair, made before timing; `make_up(set)` gives the function that
// answers the question for a key.  Every link is up while the rows run, so
// any other answer fails the row.
template <typename KeyOf, typename MakeUp>
void query_row(benchmark::State &state, uint32_t pairs, KeyOf key_of, MakeUp make_up) {
    HostSet *set = set_or_fail(state, pairs);
    if (!set)
        return;
    using Key = decltype(key_of(*set, set->pair(0)));
    std::vector<Key> keys;
    keys.reserve(kDraws);
    for (uint32_t i : draws(pairs))
        keys.push_back(key_of(*set, set->pair(i)));
    auto up = make_up(*set);
    lcache_linux_reset_counters();
    benchmark::IterationCount answered_up = 0;
    size_t k = 0;
    for (auto _ : state) {
        answered_up += up(keys[k]) ? 1 : 0;
        k = (k + 1) & (kDraws - 1);
    }
    if (answered_up != state.iterations())
        fail(state, "a contender answered that an up link is down");
    state.counters["round_trips"] = benchmark::Counter(
        static_cast<double>(counters().round_trips), benchmark::Counter::kAvgIterations);
}

uint32_t iod_of(HostSet &, Pair &p) { return p.near; }

template <typename Up>
auto answer(Up up) {
    return [up](HostSet &) { return up; };
}

void register_queries(uint32_t pairs) {
    const std::string size = "/" + std::to_string(pairs);
    auto add = [&](const char *contender, void (*row)(benchmark::State &, uint32_t)) {
        benchmark::RegisterBenchmark((std::string("query/") + contender + size).c_str(), row, pairs)
            ->UseRealTime();
    };
    add("lcache_hit", [](benchmark::State &state, uint32_t n) {
        query_row(state, n, iod_of, answer([](uint32_t iod) { return lcache_netif_is_linkup(iod) != 0; }));
        if (counters().round_trips != 0)
            fail(state, "a hit asked the kernel");
    });
    // The cache's miss: the link state flushed, so the query asks the peer.
    add("lcache_flushed", [](benchmark::State &state, uint32_t n) {
        query_row(state, n, iod_of, answer([](uint32_t iod) {
                      lcache_if_flush_iod(iod, 2);
                      return lcache_netif_is_linkup(iod) != 0;
                  }));
    });
    // The kernel query itself: the Linux peer called directly, no cache.
    add("peer_call", [](benchmark::State &state, uint32_t n) {
        query_row(state, n, iod_of, answer([](uint32_t iod) { return netif_is_linkup(iod) != 0; }));
    });
    add("ioctl", [](benchmark::State &state, uint32_t n) {
        query_row(
            state, n, [](HostSet &, Pair &p) { return p.name.c_str(); },
            [](HostSet &set) {
                return [fd = set.ioctl_socket()](const char *name) {
                    ifreq request{};
                    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
                    return ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_RUNNING);
                };
            });
    });
    add("libnl_get", [](benchmark::State &state, uint32_t n) {
        query_row(
            state, n, [](HostSet &, Pair &p) { return static_cast<int>(p.near); },
            [](HostSet &set) {
                return [links = set.libnl_links()](int ifindex) {
                    rtnl_link *link = rtnl_link_get(links, ifindex);
                    if (!link)
                        return false;
                    const bool up = rtnl_link_get_flags(link) & IFF_LOWER_UP;
                    rtnl_link_put(link);
                    return up;
                };
            });
    });
    // libnl's hashed lookup: nl_cache_search on a key object holding the
    // ifindex and family, which its link cache hashes.
    add("libnl_search", [](benchmark::State &state, uint32_t n) {
        query_row(
            state, n, [](HostSet &, Pair &p) { return reinterpret_cast<nl_object *>(p.needle); },
            [](HostSet &set) {
                return [links = set.libnl_links()](nl_object *needle) {
                    nl_object *found = nl_cache_search(links, needle);
                    if (!found)
                        return false;
                    const bool up = rtnl_link_get_flags(reinterpret_cast<rtnl_link *>(found)) & IFF_LOWER_UP;
                    nl_object_put(found);
                    return up;
                };
            });
    });
}

// Each iteration changes the MTU of a batch of interfaces (in turn over the
// whole set) through netlink, every change acknowledged, so its
// notification is already queued on both consumers' sockets; the row times
// one consumer reading them all, then lets the other read the same
// messages untimed.  Both must take at least one message per change.
void dispatch_row(benchmark::State &state, uint32_t pairs, bool lcache_side) {
    HostSet *set = set_or_fail(state, pairs);
    if (!set)
        return;
    if (set->drain_lcache() < 0 || set->drain_libnl() < 0)
        return fail(state, "cannot read the pending notifications");
    const uint32_t batch = std::min(kBatch, pairs);
    lcache_linux_reset_counters();
    uint32_t next = 0;
    for (auto _ : state) {
        for (uint32_t c = 0; c < batch; ++c, next = (next + 1) % pairs) {
            Pair &p = set->pair(next);
            p.mtu = p.mtu == 1500 ? 1400 : 1500;
            if (set->control().set_mtu(p.near, p.mtu) != 0)
                break;
        }
        const auto start = Clock::now();
        const int timed = lcache_side ? set->drain_lcache() : set->drain_libnl();
        const auto end = Clock::now();
        const int other = lcache_side ? set->drain_libnl() : set->drain_lcache();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (timed < static_cast<int>(batch) || other < static_cast<int>(batch)) {
            fail(state, "a consumer missed changes of the batch");
            break;
        }
    }
    const uint64_t changes = static_cast<uint64_t>(state.iterations()) * batch;
    state.SetItemsProcessed(static_cast<int64_t>(changes));
    const lcache_linux_counters_t c = counters();
    if (c.overruns != 0)
        fail(state, "the bridge lost notifications");
    state.counters["round_trips_per_change"] = static_cast<double>(c.round_trips) / std::max<uint64_t>(changes, 1);

    uint32_t disagreements = 0;
    for (uint32_t i = 0; i < pairs; ++i) {
        Pair &p = set->pair(i);
        rtnl_link *link = set->libnl_link(p);
        disagreements += lcache_netif_get_if_mtu(p.near) != p.mtu;
        disagreements += !link || rtnl_link_get_mtu(link) != p.mtu;
        if (link)
            rtnl_link_put(link);
    }
    state.counters["disagreements"] = disagreements;
    if (disagreements != 0)
        fail(state, "an MTU answered after dispatch is not the kernel's");
}

double percentile(std::vector<double> &samples, double share) {
    if (samples.empty())
        return 0;
    auto at = samples.begin() + static_cast<long>(share * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), at, samples.end());
    return *at;
}

// Waits, dispatching, until `answered()` or `ms` have passed.
template <typename Answered>
void dispatch_until(Answered answered, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!answered() && Clock::now() < deadline) {
        pollfd pfd{lcache_linux_fd(), POLLIN, 0};
        poll(&pfd, 1, 10);
        lcache_linux_dispatch();
    }
}

// A row's change: how to make it (0 or a negative errno) and whether the
// cache, and libnl's cache as a second reader of the same notifications,
// answer its new value.
struct Change {
    int settle_ms;
    int (*make)(HostSet &set, Pair &pair);
    bool (*cache_answers)(const Pair &pair);
    bool (*libnl_answers)(HostSet &set, const Pair &pair);
};

// Why a change never reached the cache: libnl having the new value while
// the cache does not is the bridge's fault; neither having it is the
// kernel's silence.
std::string late_change(HostSet &set, const Pair &p, const Change &change) {
    set.drain_libnl();
    const lcache_linux_counters_t c = counters();
    std::string whose = change.libnl_answers(set, p) ? "libnl's cache has the new value, the cache does not"
                                                     : "no notification reached libnl either";
    return "the cache did not answer a change of " + p.name + " within " + std::to_string(change.settle_ms) +
           " ms: " + whose + " (kernel: linkup " + std::to_string(netif_is_linkup(p.near)) + ", mtu " +
           std::to_string(netif_get_if_mtu(p.near)) + "; overruns " + std::to_string(c.overruns) + ")";
}

// From a change's acknowledgement to the cache's first answer of the new
// value, as an event-loop client sees it: ask, and until the answer is the
// new one, wait for the bridge's descriptor and dispatch.  Manual time, so
// the row's time is the mean; the median and p99 are counters, in µs.
// Answers the set measured on.
HostSet *staleness_row(benchmark::State &state, uint32_t pairs, const Change &change) {
    HostSet *set = set_or_fail(state, pairs);
    if (!set)
        return nullptr;
    std::vector<double> samples;
    uint32_t next = 0;
    for (auto _ : state) {
        Pair &p = set->pair(next);
        next = (next + 1) % pairs;
        if (change.make(*set, p) != 0) {
            fail(state, "the kernel refused a change");
            break;
        }
        const auto start = Clock::now();
        dispatch_until([&] { return change.cache_answers(p); }, change.settle_ms);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
        set->drain_libnl();
        if (!change.cache_answers(p)) {
            fail(state, late_change(*set, p, change));
            break;
        }
    }
    state.counters["p50_us"] = percentile(samples, 0.5);
    state.counters["p99_us"] = percentile(samples, 0.99);
    return set;
}

bool cache_has_mtu(const Pair &p) { return lcache_netif_get_if_mtu(p.near) == p.mtu; }
bool cache_has_carrier(const Pair &p) { return (lcache_netif_is_linkup(p.near) != 0) == p.carrier; }

template <typename Has>
bool libnl_link_has(HostSet &set, const Pair &p, Has has) {
    rtnl_link *link = set.libnl_link(p);
    const bool answered = link && has(link);
    if (link)
        rtnl_link_put(link);
    return answered;
}

constexpr Change kMtuChange{
    kSettleMs,
    [](HostSet &set, Pair &p) {
        p.mtu = p.mtu == 1500 ? 1400 : 1500;
        return set.control().set_mtu(p.near, p.mtu);
    },
    cache_has_mtu,
    [](HostSet &set, const Pair &p) {
        return libnl_link_has(set, p, [&](rtnl_link *l) { return rtnl_link_get_mtu(l) == p.mtu; });
    },
};

constexpr Change kCarrierChange{
    kCarrierSettleMs,
    [](HostSet &set, Pair &p) {
        p.carrier = !p.carrier;
        return set.control().set_up(p.peer, p.carrier);
    },
    cache_has_carrier,
    [](HostSet &set, const Pair &p) {
        return libnl_link_has(set, p, [&](rtnl_link *l) {
            return ((rtnl_link_get_flags(l) & IFF_LOWER_UP) != 0) == p.carrier;
        });
    },
};

// Carriers the linkup row took away come back before the next row asks,
// at the link-watch's pace.
void restore_carriers(benchmark::State &state, HostSet &set) {
    for (uint32_t i = 0; i < set.size(); ++i) {
        Pair &p = set.pair(i);
        if (p.carrier)
            continue;
        p.carrier = true;
        if (set.control().set_up(p.peer, true) != 0)
            return fail(state, "cannot bring a far end back up");
    }
    for (uint32_t i = 0; i < set.size(); ++i) {
        Pair &p = set.pair(i);
        dispatch_until([&] { return cache_has_carrier(p); }, kCarrierSettleMs);
        if (!cache_has_carrier(p))
            return fail(state, "a carrier did not come back: " + late_change(set, p, kCarrierChange));
    }
    set.drain_libnl();
}

void register_changes(uint32_t pairs) {
    const std::string size = "/" + std::to_string(pairs);
    benchmark::RegisterBenchmark(("dispatch/lcache" + size).c_str(), dispatch_row, pairs, true)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("dispatch/libnl" + size).c_str(), dispatch_row, pairs, false)
        ->UseManualTime();
    // A notification the kernel sends before the change returns.
    benchmark::RegisterBenchmark(("staleness/mtu" + size).c_str(), [pairs](benchmark::State &state) {
        staleness_row(state, pairs, kMtuChange);
    })->UseManualTime();
    // Carrier, which the kernel reports from its link-watch work a moment
    // after the far end goes down or up.
    benchmark::RegisterBenchmark(("staleness/linkup" + size).c_str(), [pairs](benchmark::State &state) {
        if (HostSet *set = staleness_row(state, pairs, kCarrierChange))
            restore_carriers(state, *set);
    })->UseManualTime();
}

} // namespace

void register_size(uint32_t pairs) {
    register_queries(pairs);
    register_changes(pairs);
}

} // namespace lbench
