#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# examples/link_monitor against iproute2, in a network namespace of its own:
# a veth pair changes its MTU, carrier (from the peer end), admin state, MAC
# and name, is deleted and re-created, while `ip -o monitor link` watches
# beside the monitor.  The monitor must print exactly the changes made, and
# every change iproute2 saw, with the same old and new values; iproute2 may
# print several lines per change, so both are compared on what changed.
# Ends the monitor with SIGTERM, which must exit 0.
# Usage: link_monitor_vs_ip.sh LINK_MONITOR
set -euo pipefail
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${1:-}" != --inside ]; then
  monitor=$(realpath "$1")
  unshare -n true 2>/dev/null || skip "cannot create a network namespace (needs root)"
  command -v ip >/dev/null || skip "no ip(8) to change the links"
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  unshare -n "$0" --inside "$monitor" "$scratch"
  exit
fi
monitor=$2 scratch=$3
out=$scratch/monitor ipout=$scratch/ip expected=$scratch/expected
: >"$expected"

ip link set lo up
ip link add ea type veth peer name eb
ip link set ea up
ip link set eb up
old_mac=$(ip -o link show ea | sed -n 's|.*link/ether \([0-9a-f:]*\) .*|\1|p')
ip -o monitor link >"$ipout" &
ip_pid=$!
"$monitor" >"$out" 2>"$scratch/stderr" &
monitor_pid=$!
trap 'kill $ip_pid $monitor_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q '^watching' "$out" && break; sleep 0.1; done
grep -q '^watching' "$out" || fail "the monitor did not start: $(cat "$scratch/stderr")"
# What iproute2 knew before the first change, and time for it to listen.
ip -o link show >"$scratch/baseline"
sleep 0.3

# step "COMMAND; ..." LINE...: makes the change and waits until the monitor
# has printed each line once more than before.
step() {
  local commands=$1 line
  shift
  declare -A before=()
  for line in "$@"; do
    before[$line]=$(grep -cxF -- "$line" "$out" || true)
    echo "$line" >>"$expected"
  done
  eval "$commands"
  for line in "$@"; do
    for _ in $(seq 30); do
      [ "$(grep -cxF -- "$line" "$out" || true)" -gt "${before[$line]}" ] && continue 2
      sleep 0.1
    done
    fail "after '$commands' the monitor did not print '$line'; it printed:
$(cat "$out")"
  done
  sleep 0.2
}

step "ip link set ea mtu 9000" "ea: mtu 1500 -> 9000"
step "ip link set eb down" "ea: carrier down" "eb: admin down"
step "ip link set eb up" "ea: carrier up" "eb: admin up"
step "ip link set ea down" "ea: admin down" "eb: carrier down"
step "ip link set ea up" "ea: admin up" "eb: carrier up"
step "ip link set ea address 02:00:00:00:00:42" "ea: mac $old_mac -> 02:00:00:00:00:42"
step "ip link set ea down" "ea: admin down" "eb: carrier down"
step "ip link set ea name ex" "ex: name was ea"
step "ip link set ex up" "ex: admin up" "eb: carrier up"
# A deleted link is first taken down.
step "ip link del ex" "ex: admin down" "eb: admin down" "ex: removed" "eb: removed"
step "ip link add ea type veth peer name eb" "ea: added" "eb: added"

kill -TERM $monitor_pid
status=0
wait $monitor_pid || status=$?
[ $status -eq 0 ] || fail "the monitor ended with status $status on SIGTERM"
kill $ip_pid
wait $ip_pid 2>/dev/null || true

# iproute2's lines, from the baseline on, as the changes they show, in the
# monitor's words.  Carrier counts only while the link is up: a link down
# reports none.
awk -v baseline="$scratch/baseline" '
  function parse(line,   fields, at) {
    deleted = sub(/^Deleted /, "", line)
    split(line, fields, " ")
    idx = fields[1]; sub(/:$/, "", idx)
    name = fields[2]; sub(/[@:].*$/, "", name)
    flags = "," substr(line, index(line, "<") + 1)
    flags = substr(flags, 1, index(flags, ">") - 1) ","
    up = flags ~ /,UP,/; lower = flags ~ /,LOWER_UP,/
    at = index(line, " mtu "); mtu = substr(line, at + 5); sub(/ .*$/, "", mtu)
    at = index(line, "link/ether "); mac = substr(line, at + 11); sub(/ .*$/, "", mac)
  }
  function keep() { N[idx] = name; U[idx] = up; L[idx] = lower; M[idx] = mtu; A[idx] = mac }
  BEGIN { while ((getline line < baseline) > 0) { parse(line); keep() } }
  {
    parse($0)
    if (deleted) { if (idx in N) print name ": removed"; delete N[idx]; next }
    if (!(idx in N)) { print name ": added"; keep(); next }
    if (name != N[idx]) print name ": name was " N[idx]
    if (up != U[idx]) print name ": admin " (up ? "up" : "down")
    else if (up && lower != L[idx]) print name ": carrier " (lower ? "up" : "down")
    if (mtu != M[idx]) print name ": mtu " M[idx] " -> " mtu
    if (mac != A[idx]) print name ": mac " A[idx] " -> " mac
    keep()
  }' "$ipout" | sort >"$scratch/iproute2-saw"
sed '0,/^watching/d' "$out" | sort >"$scratch/monitor-printed"
sort "$expected" >"$scratch/made"
diff -u "$scratch/made" "$scratch/monitor-printed" ||
  fail "the monitor's lines (+) are not the changes made (-)"
diff -u "$scratch/iproute2-saw" "$scratch/monitor-printed" ||
  fail "the monitor's lines (+) are not what iproute2 saw (-)"
echo "the monitor printed the $(wc -l <"$scratch/made") changes made, as iproute2 saw them"
