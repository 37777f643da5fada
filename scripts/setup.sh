#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build and the tests need.  As root it
# installs what is missing with apt; otherwise it names what to install.
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib pkg-config   # both targets
  qemu-user                                       # runs the i386 tests
  googletest libbenchmark-dev                     # tests and benchmarks
  binutils abigail-tools                          # nm / readelf / abidiff ABI checks
  dpkg-dev file man-db groff-base lintian         # Debian packages, manual pages
  doxygen                                         # the API reference
  libcli11-dev                                    # the tools' command lines
  nlohmann-json3-dev                              # the tool's JSON summary
  libabsl-dev libnl-route-3-dev                   # the benchmarks' baselines
  libmnl-dev libmnl-dev:i386                      # the Linux peers (rtnetlink), both targets
  gnuplot-nox valgrind                            # the benchmark plot and profile
  clang libclang-rt-14-dev                        # the fuzzer (valgrind: memory checking)
)

missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The i386 target links 32-bit copies of the libraries it uses.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
# A mirror caught mid-sync fails one index; the others still serve.
apt-get update -qq || echo "apt-get update reported errors; installing from the lists it has"
apt-get install -y -qq --no-install-recommends "${missing[@]}"
