#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# liblcache calls its own functions directly: no lcache_* name is reached
# through a PLT slot from inside the library, so a client that defines one
# of those names changes what it calls, never what the library does.  The
# peer fallbacks are the opposite case (check_abi.sh).
set -euo pipefail
lib=$1
slots=$(readelf -rW "$lib" | awk '$3 ~ /JUMP_SLOT/ {print $5}' | sed 's/@.*//' |
  grep -E '^(__)?lcache_' || true)
[ -z "$slots" ] || { echo "FAIL: called through the PLT: $(echo $slots)" >&2; exit 1; }
echo "no lcache name is called through the PLT"
