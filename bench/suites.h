// SPDX-License-Identifier: MIT
// The benchmark suites, registered by main in the order they run: every
// hit benchmark of one interface count together, so each cache is built
// once.
#pragma once

#include <cstdint>

namespace bench {

// Interface counts of the hit benchmarks and the flush.
inline constexpr uint32_t kSizes[] = {64, 1024, 16384, 65536};

void register_hit_benchmarks(uint32_t ports);
// Built when the simulation's IPC backend is (LCACHE_BENCH_IPC).
void register_ipc_benchmarks(uint32_t ports);
void register_cold_benchmarks();
void register_table_benchmarks();
// The same notification and hit without a watch and with one.
void register_watch_benchmarks();

} // namespace bench
