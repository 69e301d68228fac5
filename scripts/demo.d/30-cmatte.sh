#!/usr/bin/env bash
# cmatte: keys a synthetic 1280x720 green-screen frame (textured subject, soft
# rim, hair strands, unevenly lit backdrop, sensor noise) over a background
# with the version-2 keyer through cmatte-cli, and writes camera, background
# and composite pictures.
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
# shellcheck source=../lib/nv12-frames.sh
source scripts/lib/nv12-frames.sh
out=$DEMO_OUT/cmatte
mkdir -p "$out"
size=1280x720

"$BUILD_DIR/tests/support/make_key_scene" 1280 720 green nv12 "$out"
"$BUILD_DIR/tools/cmatte-cli/cmatte-cli" --size $size --format nv12 --key green \
  -i "$out/camera.raw" -b "$out/background.raw" -o "$out/composite.raw" 2>"$out/cmatte-cli.log"

for name in camera background composite truth; do
  nv12_png "$out/$name.raw" $size "$out/$name.png"
done
ffmpeg -nostdin -v error -i "$out/camera.png" -i "$out/composite.png" -filter_complex hstack \
  -y "$out/camera-composite.png"
echo "cmatte: composite against the true composite: PSNR $(nv12_psnr "$out/composite.raw" "$out/truth.raw" $size) dB"
echo "cmatte: $out/camera.png, $out/background.png, $out/composite.png, $out/camera-composite.png"
