# SPDX-License-Identifier: MIT
# The user's side of an installed liblcache, shared by the install tests.
# Each function works in the directory it is given and fails the test (set
# -e) on the first thing that does not hold.

# readme_client PREFIX SOURCE_DIR WORK: the README's C example, copied out
# of the README (which must show examples/sim_client.c whole), built with
# the README's own command line against the installation in PREFIX, and
# run: it must get the simulated switch's answers.
readme_client() {
  local prefix=$1 source=$2 work=$3 line
  line=$(grep -m1 '^cc sim_client.c ' "$source/README.md") || {
    echo "README.md has no 'cc sim_client.c' command line" >&2
    return 1
  }
  mkdir -p "$work"
  awk '/^## Using the library from C/ {on = 1} on && /^```c$/ {copy = 1; next}
       copy && /^```$/ {exit} copy {print}' "$source/README.md" >"$work/sim_client.c"
  cmp -s "$work/sim_client.c" "$source/examples/sim_client.c" || {
    echo "README.md does not show examples/sim_client.c whole" >&2
    return 1
  }
  (
    cd "$work"
    PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name lcache.pc)")
    export PKG_CONFIG_PATH
    echo "+ $line"
    eval "$line"
    with_libraries "$prefix" ./sim_client
  )
}

# with_libraries PREFIX COMMAND...: runs the command with the dynamic linker
# told where the installation's libraries are (nothing installed carries an
# RPATH, and a scratch prefix is not in the linker's path).
with_libraries() {
  local prefix=$1 libdir
  shift
  libdir=$(dirname "$(find "$prefix" -name 'liblcache.so.1' | head -1)")
  LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH} "$@"
}

# consumer PREFIX SOURCE_DIR WORK [CMAKE_ARG...]: configures and builds the
# project tests/install/consumer against the installation in PREFIX.
consumer() {
  local prefix=$1 source=$2 work=$3
  shift 3
  rm -rf "$work"
  cmake -S "$source/tests/install/consumer" -B "$work" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
    -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF "$@" >"$work.log" 2>&1 || {
    cat "$work.log" >&2
    return 1
  }
  cmake --build "$work" >>"$work.log" 2>&1 || { cat "$work.log" >&2; return 1; }
}
