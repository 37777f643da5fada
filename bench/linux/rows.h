// SPDX-License-Identifier: MIT
// What every row of the Linux benchmarks shares: the veth set it runs on,
// how it fails, and the bridge's counters.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "host_set.h"
#include "lcache_linux.h"

namespace lbench {

inline lcache_linux_counters_t counters() {
    lcache_linux_counters_t c;
    lcache_linux_get_counters(&c);
    return c;
}

// Also said on stderr: with --benchmark_report_aggregates_only, a single
// failed repetition among good ones is not reported.
inline void fail(benchmark::State &state, const std::string &why) {
    note_failure();
    std::fprintf(stderr, "lcache_linux_bench: a row failed: %s\n", why.c_str());
    state.SkipWithError(why.c_str());
}

inline HostSet *set_or_fail(benchmark::State &state, uint32_t pairs, Contenders want = Contenders::open) {
    std::string why;
    HostSet *set = HostSet::of_size(pairs, why, want);
    if (!set)
        fail(state, why);
    return set;
}

} // namespace lbench
