#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
BUILD_DIR=${BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j2 --target fuzzers
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
for f in "$BUILD_DIR"/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="$BUILD_DIR/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds=("fuzz/seeds/${name#fuzz_}")
  echo "-- $name for ${SECONDS_EACH}s"
  "$f" -max_total_time="$SECONDS_EACH" -print_final_stats=0 "$corpus" "${seeds[@]}" 2>"$BUILD_DIR/$name.log" \
    || { tail -n 60 "$BUILD_DIR/$name.log"; exit 1; }
  grep -E '^(#[0-9]+ +DONE|Done [0-9]+ runs)' "$BUILD_DIR/$name.log" | tail -n 1 || true
done
