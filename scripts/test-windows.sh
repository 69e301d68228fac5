#!/usr/bin/env bash
# Cross-builds for Windows (scripts/build-windows.sh) and runs the tests under
# 64-bit Wine through ctest (CMAKE_CROSSCOMPILING_EMULATOR), in the build's
# own Wine prefix with WINEDEBUG=-all. The GPU tests run on the host's PoCL
# through Wine's OpenCL.dll. Ends non-zero on a failed build or test.
#   BUILD_DIR   build folder (default: build-win64)
#   CTEST_ARGS  extra ctest arguments, e.g. "-R windows_"
#
# Left out of the Windows run, as POSIX-only or needing Qt 6 or libcurl, which
# Debian has no mingw-w64 build of:
#   common_md5                 compared with md5sum through a POSIX pipe
#   backend_download_helpers   POSIX test helpers (tests/windows covers the
#                              download paths on Windows)
#   backend_server, backend_downloads, backend_tls, backend_nginx_resume
#                              libcurl, the reference backend and nginx
#   updater_*                  the Qt updater (FIFOs, signals, QtTest)
#   lutgrade_cli_test, cmatte_cli_test
#                              shell pipelines and wait status; the package
#                              test runs both tools under Wine instead
#   lutgrade_install_consumer, cmatte_install_consumer
#                              the host compiler; the package test builds the
#                              same consumers against the zip instead
# and, inside lutgrade_gpu_test, the comparison with OpenColorIO and ffmpeg's
# lut3d (both run on the build machine, not under Wine; it is skipped there).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-win64}
BUILD_DIR=$BUILD_DIR scripts/build-windows.sh
export WINEDEBUG=-all
# shellcheck disable=SC2086
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 ${CTEST_ARGS:-}
