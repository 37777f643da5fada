#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Two builds of lcache_linux_bench, side by side: rounds alternate between
# them so that the machine's drift falls on both alike, then each row's
# median over the rounds is compared (bench/compare.py).  For "did this
# change slow the Linux steady-state rows?".  Run as root.
# Usage: bench/linux/compare.sh BEFORE_BUILD AFTER_BUILD [sizes] [filter] [rounds]
#   sizes   the --sizes list (default 64,1024,4096)
#   filter  a --benchmark_filter regex (default: the steady-state rows)
# A row that fails in a round (a carrier the kernel never announced, say)
# is said on stderr and left out of that round.
set -euo pipefail
before=$1 after=$2
sizes=${3:-64,1024,4096}
filter=${4:-'^(query|dispatch|staleness)/'}
rounds=${5:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((round = 0; round < rounds; round++)); do
  for side in before after; do
    build=${!side}
    out="$work/$side.$round.json"
    "$build/bench/linux/lcache_linux_bench" --sizes="$sizes" --benchmark_filter="$filter" \
      --benchmark_out="$out" --benchmark_out_format=json >/dev/null ||
      echo "compare.sh: round $round, $side: a row failed" >&2
    python3 - "$out" <<'PY'
import json, sys
path = sys.argv[1]
run = json.load(open(path))
for bench in run["benchmarks"]:
    if bench.get("error_occurred"):
        print(f"compare.sh: left out {bench['name']}: {bench.get('error_message')}", file=sys.stderr)
run["benchmarks"] = [b for b in run["benchmarks"] if not b.get("error_occurred")]
json.dump(run, open(path, "w"))
PY
  done
done
python3 "$(dirname "$0")/../compare.py" "$work"
