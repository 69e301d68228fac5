#!/usr/bin/env bash
# GStreamer: keys a 24-frame 1280x720 green-screen clip over a background
# with the cmatte element and grades the composite with the lutgrade element
# (the warm look of 20-lutgrade.sh), in one gst-launch-1.0 pipeline that
# writes the frames and a PNG of the last one; then checks the PNG and that
# the frames equal those of cmatte-cli piped into lutgrade-cli.
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
# shellcheck source=../lib/nv12-frames.sh
source scripts/lib/nv12-frames.sh
# shellcheck source=../lib/warm-look.sh
source scripts/lib/warm-look.sh
out=$DEMO_OUT/gstreamer
plugins=$(cd "$BUILD_DIR" && pwd)/gstreamer-1.0
if [ ! -f "$plugins/libgstpezavideo.so" ]; then
  echo "gstreamer: $plugins/libgstpezavideo.so is not built (GStreamer's development files missing, or -DBUILD_GST_PLUGIN=OFF); skipped"
  exit 0
fi
mkdir -p "$out"
size=1280x720
w=${size%x*} h=${size#*x}
# The plugin from the build tree, and a registry of this step's own.
export GST_PLUGIN_PATH=$plugins GST_REGISTRY=$out/registry.bin

"$BUILD_DIR/tests/support/make_key_scene" $w $h green nv12 "$out/scene"
for _ in $(seq 24); do cat "$out/scene/camera.raw"; done >"$out/camera.nv12"
warm_look 17 0 >"$out/warm-look.cube"

# Raw frames follow the libraries' convention, BT.709 limited range; the
# background is one frame, which stays once it has ended.
raw="rawvideoparse format=nv12 width=$w height=$h framerate=25/1 colorimetry=bt709"
gst-launch-1.0 -q cmatte name=k refine=true ! lutgrade location="$out/warm-look.cube" ! tee name=t \
  t. ! queue ! filesink location="$out/graded.nv12" \
  t. ! queue ! videoconvert ! pngenc ! multifilesink location="$out/graded.png" \
  filesrc location="$out/camera.nv12" ! $raw ! k.sink \
  filesrc location="$out/scene/background.raw" ! $raw ! k.background \
  >"$out/gst-launch.log" 2>&1

[ "$(head -c 8 "$out/graded.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  { echo "gstreamer: $out/graded.png is not a PNG file" >&2; exit 1; }
[ "$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$out/graded.png")" = "png,$w,$h" ] ||
  { echo "gstreamer: $out/graded.png does not decode as a ${size} picture" >&2; exit 1; }

"$BUILD_DIR/tools/cmatte-cli/cmatte-cli" --size $size --format nv12 --refine -i "$out/camera.nv12" \
  -b "$out/scene/background.raw" 2>"$out/cmatte-cli.log" |
  "$BUILD_DIR/tools/lutgrade-cli/lutgrade-cli" --lut "$out/warm-look.cube" --size $size --format nv12 \
    -o "$out/cli.nv12" 2>"$out/lutgrade-cli.log"
cmp -s "$out/graded.nv12" "$out/cli.nv12" ||
  { echo "gstreamer: the pipeline's frames differ from cmatte-cli | lutgrade-cli" >&2; exit 1; }

nv12_png "$out/scene/camera.raw" $size "$out/camera.png"
ffmpeg -nostdin -v error -i "$out/camera.png" -i "$out/graded.png" -filter_complex hstack \
  -y "$out/camera-graded.png"
echo "gstreamer: cmatte ! lutgrade, $(($(stat -c %s "$out/graded.nv12") / (w * h * 3 / 2))) frames, equal byte for byte to cmatte-cli | lutgrade-cli"
echo "gstreamer: $out/graded.png (last frame, through videoconvert ! pngenc), $out/camera-graded.png"
