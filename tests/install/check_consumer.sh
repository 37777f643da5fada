#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# find_package(lcache) from the install tree, by component: the cache alone
# (runtime, development) holds nothing of the simulator and offers no sim
# component; with the simulator installed too, a client linked through
# lcache::sim_peers gets the simulated peers' answers; with the Linux peers,
# lcache::lcache_linux keeps them in the link.
# Usage: check_consumer.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
. "$source/tests/install/lib.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
for component in runtime development; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
sim_files=$(cd "$prefix" && find . -path '*sim*')
if [ -n "$sim_files" ]; then
  echo "FAIL: runtime and development install simulator files:" $sim_files >&2
  exit 1
fi

consumer "$prefix" "$source" "$scratch/cache"
[ -f "$scratch/cache/libcache_plugin.so" ] && [ ! -e "$scratch/cache/peers_client" ] || {
  echo "FAIL: the cache alone should build the plugin and nothing needing the simulator" >&2
  exit 1
}
if consumer "$prefix" "$source" "$scratch/needs-sim" -DLCACHE_NEEDS_SIM=ON 2>/dev/null; then
  echo "FAIL: find_package(lcache COMPONENTS sim) succeeded without the simulator" >&2
  exit 1
fi

for component in sim sim-dev; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
consumer "$prefix" "$source" "$scratch/sim" -DLCACHE_NEEDS_SIM=ON
with_libraries "$prefix" "$scratch/sim/peers_client"

# The Linux peers, through lcache::lcache_linux: in the link, ahead of
# liblcache, although the client is linked --as-needed.
for component in linux linux-dev; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
consumer "$prefix" "$source" "$scratch/linux"
needed=$(readelf -d "$scratch/linux/linux_client" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
grep -qx 'liblcache_linux.so.1' <<<"$needed" || {
  echo "FAIL: lcache::lcache_linux did not keep liblcache_linux in the link:" $needed >&2
  exit 1
}
[ "$(grep -nx 'liblcache_linux.so.1' <<<"$needed" | cut -d: -f1)" -lt \
  "$(grep -nx 'liblcache.so.1' <<<"$needed" | cut -d: -f1)" ] || {
  echo "FAIL: liblcache_linux does not come ahead of liblcache:" $needed >&2
  exit 1
}
