#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every source file of the tree (code, build files, scripts, maps, manual
# pages) names its license in its first lines.  Usage: check_spdx.sh SOURCE_DIR
set -euo pipefail
source=$1
git -C "$source" rev-parse --git-dir >/dev/null 2>&1 || { echo "SKIP: not a git checkout"; exit 77; }
missing=()
while IFS= read -r file; do
  head -3 "$source/$file" | grep -q 'SPDX-License-Identifier: MIT' || missing+=("$file")
done < <(git -C "$source" ls-files -- '*.cc' '*.h' '*.c' '*.sh' '*.py' '*.cmake' '*.map' '*.gp' \
           '*CMakeLists.txt' '*.in' 'man/*.[0-9]' .ci/run | grep -vx 'cmake/debian-changelog.in')
if [ ${#missing[@]} -gt 0 ]; then
  printf 'FAIL: no SPDX license identifier in %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "every source file names its license"
