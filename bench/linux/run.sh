#!/usr/bin/env bash
# One measurement run of the Linux host section of docs/PERFORMANCE.md, as
# root: every size with five repetitions (medians reported), the markdown
# tables and the plot.  Usage: bench/linux/run.sh [build directory of the
# default preset]; LCACHE_BENCH_SIZES=64,1024 measures fewer sizes.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/default}
out=docs/perf
mkdir -p "$out"

"$build/bench/linux/lcache_linux_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$out/linux_bench.json" --benchmark_out_format=json 2>&1 | tee "$out/linux_bench.txt"
python3 bench/linux/report.py "$out/linux_bench.json" "$out/linux_tables.md" "$out/linux_query.dat"
gnuplot -e "datafile='$out/linux_query.dat'; outfile='$out/linux_query.png'" bench/linux/plot.gp
