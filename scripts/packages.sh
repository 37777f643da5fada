#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian packages of a build tree, as a distribution would accept them.
# cpack makes them; then what CPack 3.25 gets wrong is put right:
#  - it calls ldconfig from postinst and postrm, where the ldconfig trigger
#    each library package ships does the work: those scripts go;
#  - its -dbgsym packages list build-tree paths in md5sums and have no doc
#    directory: md5sums are rewritten, and the doc directory links to the
#    package's own, as Debian's dbgsym packages do.
# Usage: packages.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; echo "packages.sh: cpack failed" >&2; exit 1; }
mkdir -p "$out"

# rebuild PACKAGE_FILE: unpacks it, lets the fix below edit the tree, packs
# it again into OUT_DIR under the same name.
rebuild() {
  local file=$1 tree=$work/tree
  rm -rf "$tree"
  dpkg-deb -R "$file" "$tree"
  fix "$tree" "$(dpkg-deb -f "$file" Package)"
  dpkg-deb --root-owner-group -Zxz -b "$tree" "$out/$(basename "$file")" >/dev/null
}

fix() {
  local tree=$1 package=$2 script
  for script in postinst postrm; do
    if [ -f "$tree/DEBIAN/$script" ] && ! grep -qvE '^(#|set -e|$|\s*ldconfig\s*$|if \[ "\$1" = "(configure|remove)" \]; then|fi$)' \
        "$tree/DEBIAN/$script"; then
      rm "$tree/DEBIAN/$script"
    fi
  done
  if [[ $package == *-dbgsym ]]; then
    (cd "$tree" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
    mkdir -p "$tree/usr/share/doc"
    ln -sfn "${package%-dbgsym}" "$tree/usr/share/doc/$package"
  fi
}

for file in "$work"/cpack/*.deb "$work"/cpack/*.ddeb; do
  rebuild "$file"
done
ls "$out"
