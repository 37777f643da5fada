#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian packages as a distribution would take them: scripts/packages.sh
# makes them; lintian finds nothing in any; runtime packages hold only
# versioned libraries, development packages the headers, links, .pc and
# CMake files, the tools package the programs; no file is in two packages,
# none is unstripped, none names the build tree.  dpkg installs them into a
# scratch root that knows only their declared dependencies, refuses a
# development package without its runtime, and clients built against that
# root alone (the README's C example with its own command line, the CMake
# package, the packaged Linux example) get their peers' answers.
# Usage: check_packages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
. "$source/tests/install/lib.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$source/scripts/packages.sh" "$build" "$scratch/debs" >/dev/null
deb() { ls "$scratch"/debs/"$1"_*.deb; }

lintian --fail-on error,warning --tag-display-limit 0 "$scratch"/debs/* 2>&1 |
  grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$scratch"/debs/* >/dev/null 2>&1 || fail "lintian reports the above"

# contents PACKAGE PATTERN...: checks that each pattern (an extended regular
# expression) matches one of the package's files, and that the package
# holds nothing its kind must not.
contents() {
  local package=$1 files
  shift
  files=$(dpkg-deb -c "$(deb "$package")" | awk '{print $6}' | grep -v '/$')
  echo "--- $package: $(dpkg-deb -f "$(deb "$package")" Depends)"
  for pattern in "$@"; do
    grep -qE "$pattern" <<<"$files" || fail "$package has no file matching $pattern"
  done
  case $package in
    *-dev) ;;
    lcache-sim) ;;
    *) ! grep -qE '\.(h|pc|cmake)$|\.so$|/bin/' <<<"$files" ||
         fail "runtime package $package holds development files or programs" ;;
  esac
  [[ $package == lcache-sim ]] || ! grep -qE '/s?bin/|/libexec/' <<<"$files" ||
    fail "$package holds a program"
  echo "$files" >>"$scratch/all-files"
}
lib='usr/lib/[a-z0-9_]+-linux-gnu'
contents liblcache1 "$lib/liblcache\.so\.1$" "$lib/libplatform\.so\.1$" "$lib/libagg_sdb_stub\.so\.1$"
contents liblcache-dev 'include/lcache/lcache\.h$' 'include/lcache/ht\.h$' \
  "$lib/liblcache\.so$" 'pkgconfig/lcache\.pc$' 'cmake/lcache/lcache-config\.cmake$' \
  'man3/lcache\.3\.gz$'
contents liblcache-linux1 "$lib/liblcache_linux\.so\.1$"
contents liblcache-linux-dev 'include/lcache/lcache_linux\.h$' "$lib/liblcache_linux\.so$" \
  'pkgconfig/lcache-linux\.pc$' 'cmake/lcache/lcache-linux-targets\.cmake$' \
  'man3/lcache_linux\.3\.gz$' 'linux_client\.c$' 'link_monitor\.c$'
contents liblcache-sim1 "$lib/liblcache_sim\.so\.1$" "$lib/liblcache_sim_peers\.so\.1$"
contents liblcache-sim-dev 'include/lcache/sim/sim_c\.h$' "$lib/liblcache_sim_peers\.so$" \
  'pkgconfig/lcache-sim-peers\.pc$' 'cmake/lcache/lcache-sim-targets\.cmake$' 'sim_client\.c$'
contents lcache-sim 'usr/bin/lcache-sim$' 'usr/libexec/lcache/lcache-sim-host$' \
  'man1/lcache-sim\.1\.gz$' 'examples/port-channel\.scn$'
duplicates=$(sort "$scratch/all-files" | uniq -d)
[ -z "$duplicates" ] || fail "files in more than one package:" $duplicates
! grep -q '^usr/include/[^/]*$' "$scratch/all-files" || fail "headers directly in /usr/include"

# What gets installed: stripped, and without the build tree's path.
unpacked=$scratch/unpacked
for file in "$scratch"/debs/*.deb; do dpkg-deb -x "$file" "$unpacked"; done
while IFS= read -r -d '' file; do
  if file -b "$file" | grep -q '^ELF'; then
    file -b "$file" | grep -q ', stripped' || fail "$file is not stripped"
    ! readelf -d "$file" | grep -qE '\((RPATH|RUNPATH)\)' || fail "$file has an RPATH"
  fi
  ! grep -qF "$build" "$file" && ! grep -qF "$source" "$file" ||
    fail "$file names the build or source tree"
done < <(find "$unpacked" -type f -print0)

# A dpkg database that holds only the packages ours depend on (as the host
# has them), so an undeclared dependency cannot be met by accident.
root=$scratch/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers"
touch "$admin/status" "$admin/available"
arch=$(dpkg-deb -f "$(deb liblcache1)" Architecture)
for package in $(for f in "$scratch"/debs/*.deb; do dpkg-deb -f "$f" Depends; done |
                 tr ',' '\n' | awk '{print $1}' | grep -v lcache | sort -u); do
  { dpkg-query -s "$package:$arch" 2>/dev/null || dpkg-query -s "$package"; echo; } >>"$admin/status"
done
dpkg_root() {
  dpkg --root="$root" --force-not-root --force-script-chrootless "$@" >>"$scratch/dpkg.log" 2>&1
}
if dpkg_root -i "$(deb liblcache-dev)"; then fail "liblcache-dev installed without liblcache1"; fi
dpkg_root -i "$scratch"/debs/*.deb || { cat "$scratch/dpkg.log" >&2; fail "the packages do not install"; }
dpkg-query --admindir="$admin" -W -f='${Package} ${Version} ${Status}\n' 'liblcache*' lcache-sim
if dpkg_root -r liblcache1; then fail "liblcache1 removed under the packages that need it"; fi

# The installed tool finds its companion in libexec, relative to itself.
with_libraries "$root/usr" "$root/usr/bin/lcache-sim" host --help >/dev/null ||
  fail "the installed lcache-sim cannot run lcache-sim-host"

readme_client "$root/usr" "$source" "$scratch/readme"
consumer "$root/usr" "$source" "$scratch/consumer" -DLCACHE_NEEDS_SIM=ON
with_libraries "$root/usr" "$scratch/consumer/peers_client"
# The Linux example as the package ships it, built with docs/LINUX.md's
# line against the scratch root, run in a network namespace of its own:
# the kernel answers, a veth is numbered as an Ethernet port.
if unshare -n true 2>/dev/null && command -v ip >/dev/null; then
  line=$(grep -m1 '^cc linux_client.c ' "$source/docs/LINUX.md") ||
    fail "docs/LINUX.md has no 'cc linux_client.c' link line"
  mkdir -p "$scratch/linux"
  cp "$root/usr/share/doc/liblcache-linux-dev/linux_client.c" "$scratch/linux/"
  (cd "$scratch/linux" &&
     PKG_CONFIG_PATH=$(dirname "$(find "$root/usr" -name lcache-linux.pc)") eval "$line")
  out=$(with_libraries "$root/usr" unshare -n sh -c '
    ip link set lo up && ip link add name ea type veth peer name eb &&
    ip link set ea up && ip link set eb up && "$1" 0' _ "$scratch/linux/linux_client") ||
    fail "the packaged Linux example failed: $out"
  grep -q '^ea: iod [0-9]*, ifindex 0x1a' <<<"$out" ||
    fail "the packaged Linux example did not get the kernel's answers: $out"
else
  echo "SKIP (Linux example): cannot create a network namespace"
fi
echo "packages: lintian clean, split, stripped, installable; clients built against them run"
