#!/usr/bin/env bash
# The Debian packages: cpack makes liblcache1, liblcache-dev, lcache-sim and
# liblcache-linux1;
# each holds its component's files and nothing of the others (the first two
# nothing of the simulator); dpkg installs them into a scratch root that
# knows only their declared dependencies, refuses liblcache-dev without
# liblcache1 and the removal of liblcache1 under the others; and a client
# builds against the scratch root's /usr, with the README's link line and
# with the CMake package, and gets the simulated peers' answers.
# Usage: check_packages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
. "$source/tests/install/lib.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/debs" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack"; }
deb() { ls "$scratch"/debs/"$1"_*.deb; }

# contents PACKAGE PATTERN...: lists the package and checks that each
# pattern (an extended regular expression) matches one of its files.
contents() {
  local package=$1 files
  shift
  files=$(dpkg-deb -c "$(deb "$package")" | awk '{print $6}' | grep -v '/$')
  echo "--- $package: $(dpkg-deb -f "$(deb "$package")" Depends)"
  echo "$files"
  for pattern in "$@"; do
    grep -qE "$pattern" <<<"$files" || fail "$package has no file matching $pattern"
  done
  if [[ $package == liblcache1 || $package == liblcache-dev ]] && grep -q sim <<<"$files"; then
    fail "$package holds simulator files"
  fi
  echo "$files" >>"$scratch/all-files"
}
contents liblcache1 'lib/liblcache\.so\.1$' 'lib/libplatform\.so\.1$' 'lib/libagg_sdb_stub\.so\.1$' \
  'liblcache\.so\.1\.0\.0$'
contents liblcache-dev 'include/lcache\.h$' 'include/ht\.h$' 'include/agg_sdb_stub\.h$' \
  'lib/liblcache\.so$' 'pkgconfig/lcache\.pc$' 'cmake/lcache/lcache-config\.cmake$' 'man3/lcache\.3$'
contents lcache-sim 'bin/lcache-sim$' 'lib/libsim_peers\.so$' 'include/sim/sim_c\.h$' \
  'pkgconfig/lcache-sim-peers\.pc$' 'cmake/lcache/lcache-sim-targets\.cmake$' \
  'man1/lcache-sim\.1$' 'examples/port-channel\.scn$'
contents liblcache-linux1 'lib/liblcache_linux\.so\.1$' 'include/lcache_linux\.h$' \
  'pkgconfig/lcache-linux\.pc$' 'cmake/lcache/lcache-linux-targets\.cmake$' 'bin/lcache-sim-host$' \
  'linux_client\.c$' 'link_monitor\.c$'
duplicates=$(sort "$scratch/all-files" | uniq -d)
[ -z "$duplicates" ] || fail "files in more than one package:" $duplicates

# A dpkg database that holds only the packages ours depend on (as the host
# has them), so an undeclared dependency cannot be met by accident.
root=$scratch/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers"
touch "$admin/status" "$admin/available"
arch=$(dpkg-deb -f "$(deb liblcache1)" Architecture)
for package in $(dpkg-deb -f "$(deb lcache-sim)" Depends | tr ',' '\n' | awk '{print $1}' |
                 grep -v lcache); do
  { dpkg-query -s "$package:$arch" 2>/dev/null || dpkg-query -s "$package"; echo; } >>"$admin/status"
done
# The library package's maintainer scripts run ldconfig: here, on the
# scratch root.
mkdir -p "$scratch/bin" "$root/etc"
printf '#!/bin/sh\nexec /sbin/ldconfig -r "$DPKG_ROOT"\n' >"$scratch/bin/ldconfig"
chmod +x "$scratch/bin/ldconfig"
dpkg_root() {
  PATH=$scratch/bin:$PATH dpkg --root="$root" --force-not-root --force-script-chrootless "$@" \
    >>"$scratch/dpkg.log" 2>&1
}
if dpkg_root -i "$(deb liblcache-dev)"; then fail "liblcache-dev installed without liblcache1"; fi
dpkg_root -i "$(deb liblcache1)" "$(deb liblcache-dev)" "$(deb lcache-sim)" ||
  { cat "$scratch/dpkg.log" >&2; fail "the packages do not install"; }
dpkg-query --admindir="$admin" -W -f='${Package} ${Version} ${Status}\n' 'liblcache*' lcache-sim
[ -f "$root/etc/ld.so.cache" ] || fail "the library package did not run ldconfig"
if dpkg_root -r liblcache1; then fail "liblcache1 removed under liblcache-dev and lcache-sim"; fi

readme_client "$root/usr" "$source" "$scratch/readme"
consumer "$root/usr" "$source" "$scratch/consumer" -DLCACHE_NEEDS_SIM=ON
"$scratch/consumer/peers_client"
