#!/usr/bin/env bash
# cmatte: keys a synthetic 1280x720 green-screen frame (textured subject, soft
# rim, hair strands, unevenly lit backdrop, sensor noise) over a background
# with the version-2 keyer through cmatte-cli, and writes camera, background
# and composite pictures. Raw frames use the library's convention (BT.709,
# limited range), which ffmpeg is told when it converts them to RGB.
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
out=$DEMO_OUT/cmatte
mkdir -p "$out"
size=1280x720
rgb="scale=in_color_matrix=bt709:in_range=tv,format=rgb24"

"$BUILD_DIR/tests/support/make_key_scene" 1280 720 green nv12 "$out"
"$BUILD_DIR/tools/cmatte-cli/cmatte-cli" --size $size --format nv12 --key green \
  -i "$out/camera.raw" -b "$out/background.raw" -o "$out/composite.raw" 2>"$out/cmatte-cli.log"

for name in camera background composite truth; do
  ffmpeg -nostdin -v error -f rawvideo -pix_fmt nv12 -s $size -i "$out/$name.raw" -vf "$rgb" \
    -frames:v 1 -y "$out/$name.png"
done
ffmpeg -nostdin -v error -i "$out/camera.png" -i "$out/composite.png" -filter_complex hstack \
  -y "$out/camera-composite.png"
psnr=$(ffmpeg -nostdin -i "$out/composite.png" -i "$out/truth.png" -lavfi psnr -f null - 2>&1 |
  sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p')
echo "cmatte: composite against the true composite: PSNR ${psnr:-?} dB"
echo "cmatte: $out/camera.png, $out/background.png, $out/composite.png, $out/camera-composite.png"
