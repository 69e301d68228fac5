#!/usr/bin/env bash
# Renders the updater's three windows under Xvfb (with the CJK font of
# setup-deps.sh) into docs/screenshots/*.png. BUILD_DIR defaults to build.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
cmake --build "$BUILD_DIR" -j2 --target update-window-shots
out=docs/screenshots
mkdir -p "$out"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$BUILD_DIR/tools/update-window-shots/update-window-shots" "$out"
