#!/usr/bin/env bash
# Packs the build into dist/peza-video-libs-win64.zip, unpacks it, builds the
# lutgrade and cmatte consumer programs against the unpacked folder alone
# (headers, import libraries, CMake packages) and runs them and the packed
# tools under Wine.
#   package_consumer_test.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -euo pipefail
src=$1 build=$2 work=$3
run=$build/wine-run
name=peza-video-libs-win64

BUILD_DIR=$build "$src/scripts/package-windows.sh" >/dev/null
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && cmake -E tar xf "$src/dist/$name.zip")
pkg=$work/$name

for library in lutgrade cmatte; do
  # -static: the consumer brings its own GCC runtime, as the DLLs do.
  cmake -S "$src/tests/$library/consumer" -B "$work/$library" \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/windows/toolchain-mingw64.cmake" \
    -D"${library}_DIR=$pkg/lib/cmake/$library" -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
  cmake --build "$work/$library" >/dev/null
  cp "$pkg/bin/$library.dll" "$work/$library/"
  "$run" "$work/$library/consumer.exe" "$work" >/dev/null
done

# The packed tools. A frame holding a 0x1A byte and line ends comes through a
# pipe exactly as it comes through files.
printf 'LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n' >"$work/identity.cube"
printf '\x10\x0a\x1a\x0d%.0s' 1 2 3 4 >"$work/frame.yuv"
printf '\x80%.0s' 1 2 3 4 5 6 7 8 >>"$work/frame.yuv"
grade=("$run" "$pkg/bin/lutgrade-cli.exe" --lut "$work/identity.cube" --size 8x2 --format nv12)
# The second run replaces the file the first one wrote.
"${grade[@]}" -i "$work/frame.yuv" -o "$work/graded-file.yuv" 2>/dev/null
"${grade[@]}" -i "$work/frame.yuv" -o "$work/graded-file.yuv" 2>/dev/null
"${grade[@]}" -i - -o - <"$work/frame.yuv" >"$work/graded-pipe.yuv" 2>/dev/null
cmp "$work/graded-file.yuv" "$work/graded-pipe.yuv"
"$run" "$pkg/bin/cmatte-cli.exe" --size 8x2 --format nv12 -b "$work/frame.yuv" -i - -o - \
  <"$work/frame.yuv" >"$work/keyed.yuv" 2>/dev/null
[ "$(wc -c <"$work/keyed.yuv")" -eq 24 ]
echo "$name.zip: both consumers and both tools run from the unpacked folder"
