#!/usr/bin/env bash
# Packs the Windows build (scripts/build-windows.sh) into
# dist/peza-video-libs-win64.zip: the DLLs, their import libraries, public
# headers and CMake packages, the two tools and a README.
#   BUILD_DIR  the Windows build folder (default: build-win64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
BUILD_DIR=${BUILD_DIR:-build-win64}
name=peza-video-libs-win64
stage=$BUILD_DIR/package/$name

rm -rf "$stage"
cmake --install "$BUILD_DIR" --prefix "$stage" --strip >/dev/null
cp cmake/windows/package-README.txt "$stage/README.txt"
for f in bin/cmatte.dll bin/lutgrade.dll bin/cmatte-cli.exe bin/lutgrade-cli.exe \
  include/cmatte/ColorMatting.h include/lutgrade/Lut3D.h \
  lib/cmake/cmatte/cmatteConfig.cmake lib/cmake/lutgrade/lutgradeConfig.cmake; do
  [ -f "$stage/$f" ] || { echo "package-windows: $f missing from the install" >&2; exit 1; }
done

mkdir -p dist
rm -f "dist/$name.zip"
(cd "$BUILD_DIR/package" && cmake -E tar cf "$root/dist/$name.zip" --format=zip "$name")
echo "dist/$name.zip"
