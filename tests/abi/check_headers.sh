#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every public header compiles alone, and included twice, as C99, C11 and
# C17 and as C++11 to C++20, warning-free under strict warnings.
# Usage: CC=... CXX=... CFLAGS=... CXXFLAGS=... check_headers.sh -I<dir>... -- HEADER...
set -euo pipefail
includes=()
while [ "$1" != -- ]; do includes+=("$1"); shift; done
shift
strict=(-Wall -Wextra -Werror -Wcast-align=strict -Wpedantic -fsyntax-only)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
for header in "$@"; do
  name=$(basename "$header" .h)
  # A C translation unit must declare something of its own.
  printf '#include "%s"\n#include "%s"\ntypedef int header_check_t;\n' "$header" "$header" \
    >"$scratch/$name.c"
  cp "$scratch/$name.c" "$scratch/$name.cc"
  for std in c99 c11 c17 c++11 c++14 c++17 c++20; do
    case $std in
      c++*) compile=($CXX -std=$std ${CXXFLAGS:-} "$scratch/$name.cc") ;;
      *) compile=($CC -std=$std ${CFLAGS:-} "$scratch/$name.c") ;;
    esac
    if ! "${compile[@]}" "${strict[@]}" "${includes[@]}" 2>"$scratch/log"; then
      echo "FAIL: $header as $std:" >&2
      head -n 20 "$scratch/log" >&2
      failed=$((failed + 1))
    fi
  done
done
echo "$# headers, 7 standards each: $failed failed"
[ "$failed" -eq 0 ]
