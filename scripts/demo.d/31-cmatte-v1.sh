#!/usr/bin/env bash
# cmatte: the version-1 keyer on the synthetic 1280x720 green-screen frame of
# the previous step (made again here), through cmatte-cli: once at its
# default similarity, then from a poor similarity (0.1) with calibration
# requested on a two-frame input (the same frame twice). The calibration runs
# on frame 1 after it is keyed, so frame 1 shows the poor setting and frame 2
# the calibrated one.
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
# shellcheck source=../lib/nv12-frames.sh
source scripts/lib/nv12-frames.sh
out=$DEMO_OUT/cmatte-v1
mkdir -p "$out"
size=1280x720
cli=("$BUILD_DIR/tools/cmatte-cli/cmatte-cli" --size $size --format nv12 --key green --version 1
  -b "$out/background.raw")

"$BUILD_DIR/tests/support/make_key_scene" 1280 720 green nv12 "$out"
"${cli[@]}" -i "$out/camera.raw" -o "$out/default.raw" 2>"$out/default.log"
nv12_png "$out/default.raw" $size "$out/default.png"
echo "cmatte v1: default similarity: PSNR $(nv12_psnr "$out/default.raw" "$out/truth.raw" $size) dB" \
  "against the true composite"

cat "$out/camera.raw" "$out/camera.raw" >"$out/camera-twice.raw"
"${cli[@]}" --similar 0.1 --calibrate -i "$out/camera-twice.raw" -o "$out/calibrated.raw" 2>"$out/calibrated.log"
similar=$(sed -n 's/^cmatte-cli: calibrated similarity //p' "$out/calibrated.log")
echo "cmatte v1: calibrated similarity ${similar:-? (see $out/calibrated.log)}"
echo "cmatte v1: frame 1 at similarity 0.1: PSNR $(nv12_psnr "$out/calibrated.raw" "$out/truth.raw" $size 0) dB;" \
  "frame 2 calibrated: PSNR $(nv12_psnr "$out/calibrated.raw" "$out/truth.raw" $size 1) dB"
nv12_png "$out/calibrated.raw" $size "$out/before.png" 0
nv12_png "$out/calibrated.raw" $size "$out/after.png" 1
ffmpeg -nostdin -v error -i "$out/before.png" -i "$out/after.png" -filter_complex hstack -y "$out/before-after.png"
echo "cmatte v1: $out/default.png, $out/before.png, $out/after.png, $out/before-after.png"
