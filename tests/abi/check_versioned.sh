#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every name a library exports carries a symbol version, so a later release
# can add names under a new node and old clients keep binding to theirs.
# Usage: check_versioned.sh LIBRARY...
set -euo pipefail
status=0
for lib in "$@"; do
  # "T name@@NODE" or "T name@NODE"; the nodes themselves are "A" symbols.
  bare=$(nm -D --defined-only "$lib" | awk '$2 != "A" && $3 !~ /@/ {print $3}')
  if [ -n "$bare" ]; then
    echo "FAIL: $(basename "$lib") exports without a version: $(echo $bare | cut -c1-400)" >&2
    status=1
  else
    echo "$(basename "$lib"): $(nm -D --defined-only "$lib" | grep -c @) names, each versioned"
  fi
done
exit $status
