#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages.
# Quiet, and a no-op when everything is already present.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config ninja-build clang libclang-rt-14-dev llvm
  g++-mingw-w64-x86-64
  # Windows cross build and its tests under Wine (scripts/test-windows.sh);
  # locales gives localedef the zh_CN data for the code-page tests
  wine wine64 googletest locales
  # updater
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev rapidjson-dev libsodium-dev openssl ca-certificates
  p7zip-full nginx-light python3 libzstd-dev
  # GPU libraries
  opencl-headers ocl-icd-opencl-dev ocl-icd-libopencl1 pocl-opencl-icd clinfo
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-wqy-microhei ffmpeg curl
  # OpenColorIO as the reference reader of colour table files (ociobakelut,
  # PyOpenColorIO for /usr/bin/python3)
  opencolorio-tools python3-pyopencolorio
  # GStreamer plugin (gst/): its build files, and gst-launch-1.0,
  # gst-inspect-1.0 and the base and good elements its tests and docs use
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "setup-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
