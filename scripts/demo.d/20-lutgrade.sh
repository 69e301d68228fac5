#!/usr/bin/env bash
# lutgrade: grades a generated 1280x720 NV12 frame (gradients and a spectrum) with a generated 17-point
# "warm look" .cube through lutgrade-cli, and writes before/after pictures; then grades it again
# with the same look as a .cube with a 1D shaper (as Resolve writes them) at strength 0.5.
# Raw frames use the library's convention (BT.709, limited range), so ffmpeg
# is told the same when it converts them to and from RGB.
set -euo pipefail
: "${BUILD_DIR:?}" "${DEMO_OUT:?}"
# shellcheck source=../lib/nv12-frames.sh
source scripts/lib/nv12-frames.sh
# shellcheck source=../lib/warm-look.sh
source scripts/lib/warm-look.sh
out=$DEMO_OUT/lutgrade
mkdir -p "$out"
size=1280x720
yuv="scale=out_color_matrix=bt709:out_range=tv"
rgb="scale=in_color_matrix=bt709:in_range=tv,format=rgb24"

warm_look 17 0 >"$out/warm-look.cube"
warm_look 33 1 >"$out/warm-look-shaper.cube"

# The frame: soft colour gradients above, a full colour spectrum below.
ffmpeg -nostdin -v error -f lavfi -i "gradients=s=1280x480:c0=0x7a4a30:c1=0xd8b08c:c2=0x3a6e8f:c3=0x9fc46a:n=4:seed=7" \
  -f lavfi -i "colorspectrum=s=1280x240:type=all" \
  -filter_complex "[0]format=rgb24[a];[1]format=rgb24[b];[a][b]vstack,$yuv,format=nv12" \
  -frames:v 1 -f rawvideo -y "$out/frame.nv12"

"$BUILD_DIR/tools/lutgrade-cli/lutgrade-cli" --lut "$out/warm-look.cube" --size $size --format nv12 \
  -i "$out/frame.nv12" -o "$out/graded.nv12" 2>"$out/lutgrade-cli.log"
"$BUILD_DIR/tools/lutgrade-cli/lutgrade-cli" --lut "$out/warm-look-shaper.cube" --strength 0.5 \
  --size $size --format nv12 -i "$out/frame.nv12" -o "$out/half.nv12" 2>>"$out/lutgrade-cli.log"

for name in frame graded half; do
  ffmpeg -nostdin -v error -f rawvideo -pix_fmt nv12 -s $size -i "$out/$name.nv12" -vf "$rgb" \
    -frames:v 1 -y "$out/$name.png"
done
mv "$out/frame.png" "$out/before.png"
mv "$out/graded.png" "$out/after.png"
mv "$out/half.png" "$out/after-shaper-half.png"
ffmpeg -nostdin -v error -i "$out/before.png" -i "$out/after.png" -filter_complex hstack -y "$out/before-after.png"
ffmpeg -nostdin -v error -i "$out/before.png" -i "$out/after-shaper-half.png" -i "$out/after.png" \
  -filter_complex hstack=inputs=3 -y "$out/before-half-full.png"

# Cross-check: ffmpeg's own lut3d on the RGB picture should look the same.
psnr=$(lut3d_psnr "$out/before.png" "$out/warm-look.cube" "$out/after.png" "$out/ffmpeg-lut3d.png")
echo "lutgrade: after.png against ffmpeg lut3d on before.png: PSNR ${psnr:-?} dB"
echo "lutgrade: $out/before.png, $out/after.png, $out/before-after.png (table $out/warm-look.cube)"
echo "lutgrade: $out/after-shaper-half.png: the look as a shaper .cube at strength 0.5;" \
  "$out/before-half-full.png side by side"
