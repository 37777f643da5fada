#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A shipped library's ABI against its stored baseline, with libabigail;
# only the types of the public headers count.
#   abi.sh check  BASELINE LIBRARY INCLUDE_DIR...  fails, with abidiff's
#                                                 report, on any change
#   abi.sh update BASELINE LIBRARY INCLUDE_DIR...  rewrites the baseline
# An intended change (a name added under a new version node) is made by
# building the target abi_baseline and committing the baselines with it.
set -euo pipefail
mode=$1 baseline=$2 library=$3
shift 3
headers=()
for dir in "$@"; do headers+=(--headers-dir "$dir"); done

case $mode in
  update)
    mkdir -p "$(dirname "$baseline")"
    abidw "${headers[@]}" --drop-private-types --no-corpus-path --no-comp-dir-path \
      --short-locs --type-id-style hash --out-file "$baseline" "$library"
    echo "wrote $baseline"
    ;;
  check)
    [ -f "$baseline" ] || { echo "FAIL: no baseline $baseline (build abi_baseline)" >&2; exit 1; }
    status=0
    abidiff --drop-private-types "${headers[@]/--headers-dir/--hd2}" "$baseline" "$library" ||
      status=$?
    if [ "$status" -ne 0 ]; then
      echo "FAIL: the ABI of $(basename "$library") differs from $baseline" \
           "(abidiff status $status); if intended, build abi_baseline and commit it" >&2
      exit 1
    fi
    echo "ABI of $(basename "$library") matches $baseline"
    ;;
  *) echo "usage: abi.sh check|update BASELINE LIBRARY INCLUDE_DIR..." >&2; exit 2 ;;
esac
