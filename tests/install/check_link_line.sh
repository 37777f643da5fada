#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build tree into a scratch prefix and builds a client with the
# README's own link line, then runs it.  Usage: check_link_line.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
. "$source/tests/install/lib.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/opt/lcache" >/dev/null
readme_client "$scratch/opt/lcache" "$source" "$scratch/client"
