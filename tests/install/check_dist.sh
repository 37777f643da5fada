#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The source tarball unpacks to the committed tree alone: one top directory
# named for the version, every tracked file, and nothing else (no build
# tree, no installed files).  Usage: check_dist.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
source=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
git -C "$source" rev-parse --git-dir >/dev/null 2>&1 || { echo "SKIP: not a git checkout"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tarball=$("$source/scripts/dist.sh" "$scratch")
tops=$(tar -tJf "$tarball" | cut -d/ -f1 | sort -u)
[ "$tops" = "$(basename "$tarball" .tar.xz)" ] || fail "top directories: $tops"
diff <(tar -tJf "$tarball" | grep -v '/$' | cut -d/ -f2- | sort) \
     <(git -C "$source" ls-tree -r --name-only HEAD | sort) >/dev/null ||
  fail "the tarball does not hold exactly the committed files"
echo "$(basename "$tarball"): $(tar -tJf "$tarball" | grep -vc '/$') files, the committed tree alone"
