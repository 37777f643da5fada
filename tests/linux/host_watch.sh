#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `lcache-sim host --watch`: every event line is well formed, the summary
# counts exactly the lines printed by kind, updates say what changed or
# went stale, and the workload's renames and deletions are heard; without
# --watch the summary has no count.  Usage: host_watch.sh LCACHE_SIM_HOST
set -euo pipefail
program=$1
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run() { "$program" --interfaces 6 --changes 60 --queries-per-change 5 --late-burst 0 --seed 7 --json "$@"; }
status=0
run --watch >"$scratch/summary" 2>"$scratch/events" || status=$?
[ $status -ne 2 ] || skip "$(cat "$scratch/events")"
[ $status -eq 0 ] || fail "the run failed ($status): $(tail -3 "$scratch/events")"

word='[a-z][a-z0-9-]*'
change="$word( [0-9a-fx.]+( info 0x[0-9a-f]+)? -> [0-9a-fx.]+( info 0x[0-9a-f]+)?)?"
line="^@ (added|updated|removed) iod [0-9]+ ifindex 0x[0-9a-f]+(: ($change(, $change)*)?(; )?(stale $word(, $word)*)?)?$"
bad=$(grep -Evx -- "$line" "$scratch/events" || true)
[ -z "$bad" ] || fail "malformed event lines:
$bad"
count() { grep -c "^@ $1 " "$scratch/events" || true; }
counted() { grep -A4 '"interface_events"' "$scratch/summary" | sed -n "s/.*\"$1\": \([0-9]*\).*/\1/p"; }
for kind in added updated removed; do
  [ "$(count $kind)" = "$(counted $kind)" ] ||
    fail "$(count $kind) $kind lines printed, the summary counts $(counted $kind)"
done
grep -E '^@ updated ' "$scratch/events" | grep -Ev ': .' &&
  fail "an update that says nothing changed"
grep -q '"rename": [1-9]' "$scratch/summary" || fail "the workload made no rename: the check proves less"
grep -Eq '^@ updated [^:]*: (.*, )?name(,|;|$)' "$scratch/events" ||
  fail "no rename was heard"
[ "$(count removed)" -gt 0 ] || fail "no removal was heard"
heard=$(wc -l <"$scratch/events")

run >"$scratch/summary" 2>"$scratch/events"
grep -q '"interface_events": null' "$scratch/summary" || fail "a run without --watch counted events"
[ ! -s "$scratch/events" ] || fail "a run without --watch printed: $(head -3 "$scratch/events")"
echo "$heard events, counted as printed"
