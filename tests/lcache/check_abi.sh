#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The exported ABI of liblcache.so: exactly the names of exported_names.txt,
# each under its version node (LCACHE_1.0 unless the line names another), the nine peer fallbacks are
# exported functions, the library needs the
# port-channel database stub, and nothing is bound symbolically (so a peer
# library loaded earlier replaces a fallback for the library's own calls).
set -euo pipefail
lib=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

fallbacks="agg_get_pc_mbr_ifidx_from_rbh dmap_lib_si_to_ifidx dmap_lib_ifidx_to_di
dmap_lib_bd_to_di phyport_gldb_get_ifindex_port_mode vlan_get_bd vlan_get_bd_and_primary_vlan
lifsvc_query_ifindex_to_lif lifsvc_query_lif_to_ifindex"

node=LCACHE_1.0
# "T name@@LCACHE_1.0"; the nodes themselves are listed as absolute symbols.
versioned=$(nm -D --defined-only "$lib" | awk '$2 != "A" {print $2, $3}')
unversioned=$(grep -v "@@LCACHE_1\.[0-9]*\$" <<<"$versioned" | awk '{print $2}' || true)
[ -z "$unversioned" ] || fail "exported without a version: $(echo $unversioned)"
defined=${versioned//@@$node/}
# The exported names are exactly the listed ones, each under its node:
# none missing, none extra.
expected=$(grep -v '^#' "$(dirname "$0")/exported_names.txt" |
  awk -v node="$node" '{print $2 == "" || $2 == node ? $1 : $1 "@@" $2}' | sort)
actual=$(awk '{print $2}' <<<"$defined" | sort)
missing=$(comm -23 <(echo "$expected") <(echo "$actual"))
extra=$(comm -13 <(echo "$expected") <(echo "$actual"))
[ -z "$missing" ] || fail "not exported: $(echo $missing)"
[ -z "$extra" ] || fail "exported outside the interface: $(echo $extra)"

for f in $fallbacks; do
  grep -qx "T $f" <<<"$defined" || fail "fallback $f is not an exported function"
done
for v in lcache lcache_enabled lcache_error_cb lcache_do_sync lcache_print_str dmap_espan_session_bit_mask_t; do
  grep -qE "^[BD] $v\$" <<<"$defined" || fail "global $v is not exported"
done

dyn=$(readelf -d "$lib")
grep -qE 'NEEDED.*\[libagg_sdb_stub\.so\.[0-9]+\]' <<<"$dyn" || fail "no NEEDED libagg_sdb_stub.so"
if grep -qE '\(SYMBOLIC\)|FLAGS.*SYMBOLIC' <<<"$dyn"; then fail "library is bound symbolically"; fi

# Every fallback the library uses itself is reached through a relocation
# that names it (a PLT slot, or a pointer filled in by the dynamic linker),
# never bound inside the library.
relocs=$(readelf -rW "$lib")
for f in $fallbacks; do
  [ "$f" = phyport_gldb_get_ifindex_port_mode ] && continue # the library never calls it
  grep -qE "(JUMP_SLOT|GLOB_DAT|R_X86_64_64|R_386_32) +[0-9a-f]+ +$f@@$node( |\$)" <<<"$relocs" ||
    fail "$f is not resolved by the dynamic linker"
done
echo "ABI ok: $(wc -l <<<"$defined") exported names"
