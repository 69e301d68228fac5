# Sourced by demo steps that show raw NV12 frames. Raw frames use the
# libraries' convention (BT.709, limited range), which ffmpeg is told when it
# converts them to RGB. Frame numbers count from 0.

# nv12_png RAW WxH PNG [N]: frame N of RAW as an RGB picture.
nv12_png() {
  local raw=$1 size=$2 png=$3 n=${4:-0}
  ffmpeg -nostdin -v error -f rawvideo -pix_fmt nv12 -s "$size" -i "$raw" \
    -vf "select=eq(n\,$n),scale=in_color_matrix=bt709:in_range=tv,format=rgb24" -frames:v 1 -y "$png"
}

# nv12_psnr RAW TRUTH WxH [N]: PSNR in dB of frame N of RAW against the first
# frame of TRUTH, over all bytes of the three planes.
nv12_psnr() {
  local raw=$1 truth=$2 size=$3 n=${4:-0} psnr
  psnr=$(ffmpeg -nostdin -f rawvideo -pix_fmt nv12 -s "$size" -i "$raw" \
    -f rawvideo -pix_fmt nv12 -s "$size" -i "$truth" \
    -lavfi "[0:v]select=eq(n\,$n),setpts=PTS-STARTPTS[a];[a][1:v]psnr" -frames:v 1 -f null - 2>&1 |
    sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p')
  if [[ $psnr =~ ^[0-9.]+$ ]]; then printf '%.2f\n' "$psnr"; else echo "${psnr:-?}"; fi
}

# lut3d_psnr BEFORE_PNG CUBE GRADED_PNG OUT_PNG: applies CUBE to BEFORE_PNG
# with ffmpeg's own lut3d (written to OUT_PNG) and prints the PSNR in dB of
# GRADED_PNG against it.
lut3d_psnr() {
  local before=$1 cube=$2 graded=$3 peer=$4
  ffmpeg -nostdin -v error -i "$before" -vf "lut3d=file=$cube:interp=tetrahedral" -y "$peer"
  ffmpeg -nostdin -i "$graded" -i "$peer" -lavfi psnr -f null - 2>&1 |
    sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p'
}
