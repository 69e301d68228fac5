#!/usr/bin/env bash
# Cross-builds for 64-bit Windows with mingw-w64 into build-win64/: common,
# the backend client's packages and file layer, the updater's platform layer,
# gpu_runtime, cmatte.dll and lutgrade.dll, the two tools, and the tests.
#   BUILD_DIR  build folder (default: build-win64)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

BUILD_DIR=${BUILD_DIR:-build-win64}
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/windows/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The build runs the kernel scrambler under Wine: make the build's Wine prefix
# first, once, rather than in two build jobs at the same time.
[ -d "$BUILD_DIR/wineprefix" ] || "$BUILD_DIR/wine-run" cmd.exe /c exit >/dev/null 2>&1
cmake --build "$BUILD_DIR" -j2
