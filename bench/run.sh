#!/usr/bin/env bash
# One measurement run of docs/PERFORMANCE.md: the benchmarks with five
# repetitions (medians reported), the memory probe, the markdown tables and
# the plot.  Usage: bench/run.sh [build directory of the default preset]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
out=docs/perf
mkdir -p "$out"

"$build/bench/lcache_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$out/bench.json" --benchmark_out_format=json 2>&1 | tee "$out/bench.txt"
"$build/bench/lcache_memory_probe" | tee "$out/memory.txt"
python3 bench/report.py "$out/bench.json" "$out/tables.md" "$out/hit.dat"
gnuplot -e "datafile='$out/hit.dat'; outfile='$out/hit_path.png'" bench/plot.gp
