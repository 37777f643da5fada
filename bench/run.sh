#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One measurement run for docs/PERFORMANCE.md: a suite's benchmarks with
# five repetitions (medians reported), its markdown tables and its plot.
# Usage: bench/run.sh [--linux] [build directory of the default preset]
#   (default)  the cache against its contenders, and the memory probe
#   --linux    the cache on a Linux host, as root, on veth sets, with a
#              second plot for the start rows; LCACHE_BENCH_SIZES=64,1024
#              measures fewer sizes
set -euo pipefail
cd "$(dirname "$0")/.."
suite=cache
if [[ ${1:-} == --linux ]]; then
  suite=linux
  shift
fi
build=${1:-build/default}
out=docs/perf
mkdir -p "$out"

# measure PROGRAM SCRIPTS RESULTS TABLES DATA PLOT: runs the benchmark
# PROGRAM into $out/RESULTS.{json,txt}, then the report and plot scripts of
# folder SCRIPTS write $out/TABLES.md, $out/DATA.dat and $out/PLOT.png.
measure() {
  local program=$1 scripts=$2 results=$3 tables=$4 data=$5 plot=$6
  "$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/$results.json" --benchmark_out_format=json 2>&1 | tee "$out/$results.txt"
  python3 "$scripts/report.py" "$out/$results.json" "$out/$tables.md" "$out/$data.dat"
  gnuplot -e "datafile='$out/$data.dat'; outfile='$out/$plot.png'" "$scripts/plot.gp"
}

if [[ $suite == linux ]]; then
  "$build/bench/linux/lcache_linux_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/linux_bench.json" --benchmark_out_format=json 2>&1 | tee "$out/linux_bench.txt"
  python3 bench/linux/report.py "$out/linux_bench.json" "$out/linux_tables.md" "$out/linux_query.dat" \
    "$out/linux_start.dat"
  gnuplot -e "datafile='$out/linux_query.dat'; outfile='$out/linux_query.png'" bench/linux/plot.gp
  gnuplot -e "datafile='$out/linux_start.dat'; outfile='$out/linux_start.png'" bench/linux/plot_start.gp
else
  measure "$build/bench/lcache_bench" bench bench tables hit hit_path
  "$build/bench/lcache_memory_probe" | tee "$out/memory.txt"
fi
