#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Linux example as a user builds it: installed, compiled with the link
# line of docs/LINUX.md, run in a network namespace of its own while a veth
# pair there loses and regains its carrier.  It must print the kernel's
# answers (a veth is an Ethernet port whose port index is its kernel
# ifindex), not the fallbacks' status 99, and see each change through the
# notification bridge.  Usage: check_linux_client.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

unshare -n true 2>/dev/null || skip "cannot create a network namespace (needs root)"
command -v ip >/dev/null || skip "no ip(8) to make the veth pair"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
line=$(grep -m1 '^cc linux_client.c ' "$source/docs/LINUX.md") ||
  fail "docs/LINUX.md has no 'cc linux_client.c' link line"
cp "$source/examples/linux_client.c" "$scratch/"
(
  cd "$scratch"
  PKG_CONFIG_PATH=$(dirname "$(find "$scratch/prefix" -name lcache-linux.pc)")
  export PKG_CONFIG_PATH
  echo "+ $line"
  eval "$line"
)

# In the namespace: lo and the pair ea/eb up, the client started, then eb (the
# far end) taken down and up again, so that ea's carrier drops and returns.
unshare -n bash -c '
  set -e
  ip link set lo up
  ip link add name ea type veth peer name eb
  ip link set ea up
  ip link set eb up
  LD_LIBRARY_PATH=$(dirname "$(find "$1"/prefix -name liblcache.so.1)") "$1"/linux_client 4 >"$1"/out 2>&1 &
  for _ in $(seq 50); do grep -q "^watching" "$1"/out && break; sleep 0.1; done
  ip link set eb down
  sleep 0.5
  ip link set eb up
  wait $!
' _ "$scratch" || { cat "$scratch/out" >&2; fail "linux_client failed"; }
cat "$scratch/out"

out=$scratch/out
a=$(grep '^ea: ' "$out" | head -1)
iod=$(sed -n 's/^ea: iod \([0-9]*\),.*/\1/p' <<<"$a")
[ -n "$iod" ] || fail "no line for interface ea"
grep -q "ifindex 0x1a$(printf %06x "$iod")," <<<"$a" || fail "ea is not numbered as an Ethernet port: $a"
grep -q "port index $iod," <<<"$a" || fail "ea's port index is not its kernel ifindex: $a"
grep -q 'link up, protocol up' <<<"$a" || fail "ea is not up: $a"
grep -q '^lo: .*ifindex 0x03000001,.*mtu 65535,' "$out" || fail "lo is not the loopback with a clamped MTU"
grep -Eq '^started warm: 3 interfaces from [0-9]+ round trips; listing them asked the kernel 0 times$' "$out" ||
  fail "the warm start did not answer the listing without the kernel"
grep -q '^ea: link up -> down$' "$out" || fail "the carrier loss was not seen"
grep -q '^ea: link down -> up$' "$out" || fail "the carrier's return was not seen"
