#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything for both targets and the sanitizer build, and runs
# every test; then fuzzes the cache for a minute and runs the native tests
# under valgrind.  Exits nonzero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)
for preset in default i386 asan; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

# ---- The main job on the Linux kernel, in a network namespace of its own:
# every answer checked against the kernel after each change (renames,
# re-created and moved interfaces, reused ifindexes, late bursts among
# them).  A read-through start on 1 024 veth pairs, a synced start on
# 8 192 and the overrun run; each summary must show no disagreement.
# Where no namespace can be made (not root), it says so and goes on.
echo "=== host ==="
host=build/default/tools/lcache_sim/lcache-sim
# Runs `lcache-sim host` with the arguments after its name, keeps its JSON
# summary in build/default/host-<name>.json and prints the figures.
host_run() {
  local name=$1 json="build/default/host-$1.json"
  shift
  "$host" host "$@" --json >"$json" || { cat "$json"; return 1; }
  python3 -c 'import json, sys
s = json.load(open(sys.argv[1]))
assert not s["disagreements"], s["disagreements"]
start, first, resync = s["start"], s["start"]["first_question"], s["resync"]
sync = start["sync"]
print("host %s: %d pairs, 0 disagreements" % (sys.argv[2], s["interfaces"]))
if sync:
    print("  sync %.0f ms, %d round trips, %d interfaces" % (sync["ms"], sync["round_trips"], sync["interfaces"]))
print("  first question of each pair %.0f ms, %d round trips" % (first["ms"], first["round_trips"]))
print("  %d resyncs, median %.1f ms; staleness median %.0f us, p99 %.0f us"
      % (resync["count"], resync["ms"]["median"], s["staleness_us"]["median"], s["staleness_us"]["p99"]))' "$json" "$name"
}
if unshare -n true 2>/dev/null; then
  host_run read-through --interfaces 1024
  host_run sync --interfaces 8192 --sync
  host_run overrun --overrun
else
  echo "host: skipped, no network namespace can be made here (needs root)"
fi

# ---- Fuzzing (reliability): the libFuzzer program in its own clang build,
# build/fuzz.  The seed corpus runs once as a regression test, then the
# fuzzer runs for a minute from it, adding what it finds to a scratch copy.
# A crash or a broken invariant fails CI; its input is kept in
# build/fuzz/findings/ (add it to fuzz/corpus once fixed).
echo "=== fuzz ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
fuzz_run=build/fuzz/run
rm -rf "$fuzz_run" && mkdir -p "$fuzz_run/corpus" build/fuzz/findings
# Runs the fuzzer with its log in $fuzz_run/$1.log (the cache's own
# standard-output warnings are dropped); shows the log's tail on failure.
fuzz() {
  local log="$fuzz_run/$1.log"
  shift
  build/fuzz/fuzz/lcache_fuzz "$@" >/dev/null 2>"$log" || { tail -n 60 "$log"; return 1; }
  grep -E '^(Done|stat::number_of_executed_units|lcache_fuzz:)' "$log"
}
fuzz replay -runs=0 fuzz/corpus
fuzz run "$fuzz_run/corpus" fuzz/corpus -max_total_time=60 -max_len=4096 \
  -artifact_prefix=build/fuzz/findings/ -print_final_stats=1

# ---- Memory checking (reliability): every test program of the native
# build, each run once and whole, under valgrind, with the C11 client and
# the corpus replay.  A memory error, or a block definitely or indirectly
# lost, fails CI.
echo "=== valgrind ==="
memcheck=(valgrind --quiet --error-exitcode=1 --leak-check=full
          --errors-for-leak-kinds=definite,indirect)
mapfile -t programs < <(find build/default/tests -type f -executable -name '*_tests' | sort)
for program in "${programs[@]}"; do
  echo "--- ${program#build/default/}"
  (cd "$(dirname "$program")" && "${memcheck[@]}" "./$(basename "$program")" --gtest_brief=1)
done
(cd build/default/tests/lcache && "${memcheck[@]}" ./lcache_c11_client >/dev/null)
"${memcheck[@]}" build/default/fuzz/lcache_fuzz_replay fuzz/corpus >/dev/null
echo "valgrind: $((${#programs[@]} + 2)) passed, 0 failed"
