#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The manual pages as installed (compressed): man renders lcache(3),
# lcache_linux(3) and lcache-sim(1) without a warning, and lcache-sim(1) names every subcommand and option
# the program's own help lists.  Usage: check_man.sh BUILD_DIR PROGRAM
set -euo pipefail
build=$1 program=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for component in development linux-dev tools; do
  cmake --install "$build" --prefix "$scratch" --component "$component" >/dev/null
done

render() {
  local page=$scratch/share/man/$1.gz
  [ -f "$page" ] || { echo "FAIL: $1 is not installed" >&2; return 1; }
  MANWIDTH=80 man --warnings=w -l "$page" 2>"$scratch/warnings"
  if [ -s "$scratch/warnings" ]; then
    echo "FAIL: man warns about $1:" >&2
    cat "$scratch/warnings" >&2
    return 1
  fi
}
render man3/lcache.3 >/dev/null
render man3/lcache_linux.3 >/dev/null
text=$(render man1/lcache-sim.1)

subcommands=$("$program" --help | awk '/^Subcommands:/ {on = 1; next} on && NF {print $1}')
missing=()
for sub in $subcommands; do
  grep -qw -- "lcache-sim $sub" <<<"$text" || missing+=("$sub")
  for option in $("$program" "$sub" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    grep -q -- "$option" <<<"$text" || missing+=("$sub $option")
  done
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'FAIL: lcache-sim(1) does not document: %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "lcache(3), lcache_linux(3) and lcache-sim(1) render; $(wc -w <<<"$subcommands") subcommands documented"
