#!/usr/bin/env bash
# Shows what works: builds the project, then runs each step in scripts/demo.d
# in order. Outputs go to demo-out/ (DEMO_OUT to change).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck source=scripts/lib/unsigned-build.sh
source scripts/lib/unsigned-build.sh
require_unsigned_build "$BUILD_DIR"
cmake --build "$BUILD_DIR" -j2 >/dev/null

export BUILD_DIR
export DEMO_OUT=${DEMO_OUT:-$PWD/demo-out}
mkdir -p "$DEMO_OUT"
for step in scripts/demo.d/*.sh; do
  [ -f "$step" ] || continue
  echo "=== $(basename "$step" .sh)"
  bash "$step"
done
