#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds a small program
# against it twice, with find_package(PACKAGE) and with pkg-config, and runs
# each with WORK_DIR as its argument; the pkg-config one is built as the docs
# show it and runs with no library path set. The installed PACKAGE-cli runs
# from the prefix with an empty environment.
#   install_consumer_test.sh BUILD_DIR CONSUMER_SRC WORK_DIR CXX CXXFLAGS PACKAGE HEADER
set -euo pipefail
build=$1 src=$2 work=$3 cxx=$4 flags=$5 package=$6 header=$7
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
test -f "$prefix/include/$header"

cmake -S "$src" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer" "$work" >/dev/null

libdir=$(dirname "$(find "$prefix" -name "$package.pc" | head -n 1)")/..
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046,SC2086
"$cxx" $flags "$src/main.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs "$package")
"$work/consumer-pc" "$work" >/dev/null
env -i "$prefix/bin/$package-cli" --help >/dev/null
echo "installed $package builds and runs with find_package and pkg-config; $package-cli runs from the prefix"
