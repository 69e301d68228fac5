#!/usr/bin/env bash
# cmatte refinements: keys the hard 1280x720 pale-detail scene (pale-green
# stripes on a green screen) with version 2 as it is and with --refine, then
# shows each refinement on a 640x360 hard scene it is made for, as
# before | after pictures (the ones docs/cmatte.md shows).
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
# shellcheck source=../lib/nv12-frames.sh
source scripts/lib/nv12-frames.sh
out=$DEMO_OUT/cmatte-refine
mkdir -p "$out"
cli=$BUILD_DIR/tools/cmatte-cli/cmatte-cli

# key SCENE SIZE NAME OPTIONS...: the composite of the scene in $out/SCENE
# with the options, as NAME.raw and NAME.png.
key() {
  local scene=$1 size=$2 name=$3
  shift 3
  "$cli" --size "$size" --format nv12 --key "$([ "$scene" = denim ] && echo blue || echo green)" \
    -i "$out/$scene/camera.raw" -b "$out/$scene/background.raw" -o "$out/$name.raw" "$@" \
    2>"$out/$name.log"
  nv12_png "$out/$name.raw" "$size" "$out/$name.png"
}

# before_after SCENE NAME OPTIONS...: default | with the options, and PSNRs.
before_after() {
  local scene=$1 name=$2 size=640x360
  shift 2
  [ -d "$out/$scene" ] || "$BUILD_DIR/tests/support/make_key_scene" 640 360 "$scene" nv12 "$out/$scene"
  [ -f "$out/$scene-default.raw" ] || key "$scene" $size "$scene-default"
  key "$scene" $size "$name" "$@"
  ffmpeg -nostdin -v error -i "$out/$scene-default.png" -i "$out/$name.png" -filter_complex hstack \
    -y "$out/cmatte-$name.png"
  echo "cmatte $name ($*) on $scene: PSNR $(nv12_psnr "$out/$scene-default.raw" "$out/$scene/truth.raw" $size) -> $(nv12_psnr "$out/$name.raw" "$out/$scene/truth.raw" $size) dB, $out/cmatte-$name.png"
}

# The hard scene at 720p with and without --refine.
"$BUILD_DIR/tests/support/make_key_scene" 1280 720 pale-detail nv12 "$out/pale-detail-720p"
key pale-detail-720p 1280x720 pale-720p-default
key pale-detail-720p 1280x720 pale-720p-refine --refine
ffmpeg -nostdin -v error -i "$out/pale-720p-default.png" -i "$out/pale-720p-refine.png" \
  -filter_complex hstack -y "$out/pale-720p-default-refine.png"
echo "cmatte pale-detail 1280x720: default $(nv12_psnr "$out/pale-720p-default.raw" "$out/pale-detail-720p/truth.raw" 1280x720) dB, --refine $(nv12_psnr "$out/pale-720p-refine.raw" "$out/pale-detail-720p/truth.raw" 1280x720) dB: $out/pale-720p-default-refine.png"

before_after pale-detail detail-keep --detail-keep
before_after spill-rim unmix --unmix
before_after spill-rim spill --spill 2 --spill-range 6
before_after spill-rim levels --levels 0,0.9
before_after pale-detail garbage --garbage 0,0,400,360
before_after pale-detail holdout --holdout 230,210,180,150
