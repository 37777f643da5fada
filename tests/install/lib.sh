# The user's side of an installed liblcache, shared by the install tests.
# Each function works in the directory it is given and fails the test (set
# -e) on the first thing that does not hold.

# readme_client PREFIX SOURCE_DIR WORK: builds tests/install/peers_client.c
# with the README's own link line (read from the README, so the two cannot
# drift) against the installation in PREFIX, and runs it.
readme_client() {
  local prefix=$1 source=$2 work=$3 line
  line=$(grep -m1 '^cc client.c ' "$source/README.md") || {
    echo "README.md has no 'cc client.c' link line" >&2
    return 1
  }
  mkdir -p "$work"
  cp "$source/tests/install/peers_client.c" "$work/client.c"
  (
    cd "$work"
    PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name lcache.pc)")
    export PKG_CONFIG_PATH
    echo "+ $line"
    eval "$line -o client"
    with_libraries "$prefix" ./client
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
