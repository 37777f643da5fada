#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The main job: builds the project and runs the simulated switch through the
# cache (`lcache-sim run`), printing the cache's report and a summary.
# Arguments are passed to `lcache-sim run` (see `lcache-sim run --help`).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target lcache-sim -j "$(nproc)" >/dev/null
exec build/default/tools/lcache_sim/lcache-sim run "$@"
