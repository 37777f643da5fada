#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and builds a client with the
# README's own link line (read from the README, so the two cannot drift),
# then runs it.  Usage: check_link_line.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/opt/lcache" >/dev/null

line=$(grep -m1 '^cc client.c ' "$source/README.md") || {
  echo "README.md has no 'cc client.c' link line" >&2
  exit 1
}
cp "$source/tests/install/peers_client.c" "$scratch/client.c"
cd "$scratch"
export PKG_CONFIG_PATH=$scratch/opt/lcache/lib/pkgconfig
echo "+ $line"
eval "$line -o client"
./client
