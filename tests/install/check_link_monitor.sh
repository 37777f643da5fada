#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The link monitor example as a user builds it: installed, compiled with the
# link line of docs/LINUX.md, then run against iproute2 in a network
# namespace of its own (tests/linux/link_monitor_vs_ip.sh says what must
# hold).  Usage: check_link_monitor.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

unshare -n true 2>/dev/null || skip "cannot create a network namespace (needs root)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
line=$(grep -m1 '^cc link_monitor.c ' "$source/docs/LINUX.md") ||
  fail "docs/LINUX.md has no 'cc link_monitor.c' link line"
example=$(find "$scratch/prefix" -name link_monitor.c)
[ -n "$example" ] || fail "link_monitor.c is not installed"
cp "$example" "$scratch/"
(
  cd "$scratch"
  PKG_CONFIG_PATH=$(dirname "$(find "$scratch/prefix" -name lcache-linux.pc)")
  export PKG_CONFIG_PATH
  echo "+ $line"
  eval "$line"
)
# Nothing installed carries an RPATH: the scratch prefix's libraries are
# named to the dynamic linker.
LD_LIBRARY_PATH=$(dirname "$(find "$scratch/prefix" -name liblcache.so.1)") \
  "$source/tests/linux/link_monitor_vs_ip.sh" "$scratch/link_monitor"
