#!/usr/bin/env bash
# lutgrade: grades the sample frame of 20-lutgrade.sh with a table generated
# from a small adjustment list (greens towards yellow, skin warmer) through
# lutgrade-cli --hsv, writes before/after pictures and saves the generated
# table as a .cube that ffmpeg's lut3d applies for comparison.
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
# shellcheck source=../lib/nv12-frames.sh
source scripts/lib/nv12-frames.sh
out=$DEMO_OUT/lutgrade
frame=$out/frame.nv12
[ -f "$frame" ] || { echo "21-lutgrade-hsv: $frame is missing; 20-lutgrade.sh makes it" >&2; exit 1; }
size=1280x720
rgb="scale=in_color_matrix=bt709:in_range=tv,format=rgb24"

# Relative entries (mode 1): a negative hue shift works on the hues from
# `hue` down to `targetHue`, a saturation or value change on those from `hue` up.
cat >"$out/look.hsv" <<'LIST'
# hue  sat  value   targetHue  targetSat  targetValue   hueShift  mode
  130  0    0       90         0          0             -12       1    # greens towards yellow
  130  0    0       170        0.06       0              0        1    # ... and a little richer
  30   0    0       5          0          0             -5        1    # skin towards red
  20   0    0       45         0.07       0.03           0        1    # ... warmer and a touch brighter
LIST

"$BUILD_DIR/tools/lutgrade-cli/lutgrade-cli" --hsv "$out/look.hsv" --size $size --format nv12 \
  -i "$frame" -o "$out/hsv-graded.nv12" --write-cube "$out/hsv-look.cube" 2>"$out/lutgrade-cli-hsv.log"

ffmpeg -nostdin -v error -f rawvideo -pix_fmt nv12 -s $size -i "$out/hsv-graded.nv12" -vf "$rgb" \
  -frames:v 1 -y "$out/hsv-after.png"
ffmpeg -nostdin -v error -f rawvideo -pix_fmt nv12 -s $size -i "$frame" -vf "$rgb" -frames:v 1 -y "$out/hsv-before.png"
ffmpeg -nostdin -v error -i "$out/hsv-before.png" -i "$out/hsv-after.png" -filter_complex hstack \
  -y "$out/hsv-before-after.png"

psnr=$(lut3d_psnr "$out/hsv-before.png" "$out/hsv-look.cube" "$out/hsv-after.png" "$out/hsv-ffmpeg-lut3d.png")
echo "lutgrade: hsv-after.png against ffmpeg lut3d with the saved table: PSNR ${psnr:-?} dB"
echo "lutgrade: $out/hsv-before-after.png (adjustments $out/look.hsv, table $out/hsv-look.cube)"
