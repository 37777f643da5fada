// SPDX-License-Identifier: MIT
// One program, one run: the cache's hit paths next to their baselines at
// every size, the cold paths, and the hash table itself.
#include <benchmark/benchmark.h>

#include "suites.h"

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (uint32_t ports : bench::kSizes) {
        bench::register_hit_benchmarks(ports);
#ifdef LCACHE_BENCH_IPC
        bench::register_ipc_benchmarks(ports);
#endif
    }
    bench::register_cold_benchmarks();
    bench::register_table_benchmarks();
    bench::register_watch_benchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
