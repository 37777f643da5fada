#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The source tarball: the committed tree alone (no build/, nothing
# untracked), under liblcache-<version>/.  Usage: dist.sh [OUT_DIR]
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$source/build}
version=$(sed -n 's/^project(liblcache VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "dist.sh: no project version in CMakeLists.txt" >&2; exit 1; }
mkdir -p "$out"
tarball=$out/liblcache-$version.tar.xz
git -C "$source" archive --format=tar --prefix="liblcache-$version/" HEAD | xz -9 >"$tarball"
echo "$tarball"
