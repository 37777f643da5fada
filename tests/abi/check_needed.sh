#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A shipped library's DT_NEEDED holds nothing but the libraries allowed to
# it: a runtime dependency it does not use (the C++ runtime a C++ compiler
# driver links by default, say) fails.  Usage: check_needed.sh LIBRARY ALLOWED...
set -euo pipefail
lib=$1
shift
needed=$(readelf -dW "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
extra=$(comm -23 <(sort <<<"$needed") <(printf '%s\n' "$@" | sort))
if [ -n "$extra" ]; then
  echo "FAIL: $(basename "$lib") needs $(echo $extra); allowed: $*" >&2
  exit 1
fi
echo "$(basename "$lib") needs: $(echo $needed)"
