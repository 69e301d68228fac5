#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds a small program
# against it twice: with find_package(lutgrade) and with pkg-config.
#   install_consumer_test.sh BUILD_DIR CONSUMER_SRC WORK_DIR CXX [CXXFLAGS]
set -euo pipefail
build=$1 src=$2 work=$3 cxx=$4 flags=${5:-}
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

test -f "$prefix/include/lutgrade/Lut3D.h"
printf 'LUT_3D_SIZE 2\n' >"$work/black.cube"
for _ in 1 2 3 4 5 6 7 8; do printf '0 0 0\n' >>"$work/black.cube"; done

cmake -S "$src" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer" "$work/black.cube" >/dev/null

libdir=$(dirname "$(find "$prefix" -name 'lutgrade.pc' | head -n 1)")/..
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046,SC2086
"$cxx" $flags "$src/main.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs lutgrade)
LD_LIBRARY_PATH=$libdir "$work/consumer-pc" "$work/black.cube" >/dev/null
echo "installed lutgrade builds and runs with find_package and pkg-config"
