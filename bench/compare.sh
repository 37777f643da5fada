#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Two builds of lcache_bench, side by side: rounds alternate between them so
# the machine's drift falls on both alike, then each row's median over the
# rounds is compared.  For "did this change slow the hit path?".
# Usage: bench/compare.sh BEFORE_BUILD AFTER_BUILD [filter] [rounds]
#   filter: a --benchmark_filter regex (default: every lcache hit row)
set -euo pipefail
before=$1 after=$2
filter=${3:-'^hit/[a-z_]+/lcache/[0-9]+$'}
rounds=${4:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((round = 0; round < rounds; round++)); do
  for side in before after; do
    build=${!side}
    "$build/bench/lcache_bench" --benchmark_filter="$filter" --benchmark_min_time=0.2 \
      --benchmark_out="$work/$side.$round.json" --benchmark_out_format=json >/dev/null
  done
done
python3 "$(dirname "$0")/compare.py" "$work"
