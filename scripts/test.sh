#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
#   BUILD_DIR   build folder (default: build)
#   CMAKE_ARGS  extra configure arguments, e.g. "-DSANITIZE=address,undefined"
#   CTEST_ARGS  extra ctest arguments, e.g. "-L unit" or "-R md5"
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

BUILD_DIR=${BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null
# shellcheck source=scripts/lib/unsigned-build.sh
source scripts/lib/unsigned-build.sh
require_unsigned_build "$BUILD_DIR"
cmake --build "$BUILD_DIR" -j2
# shellcheck disable=SC2086
ctest --test-dir "$BUILD_DIR" --output-on-failure ${CTEST_ARGS:-}
