#!/usr/bin/env bash
# One real check-and-download attempt through the updater's Qt service
# (OVUpdateService) against the reference backend, with a home folder of its
# own: the signals it received, the downloaded package, and the updater log.
set -euo pipefail
tool="$BUILD_DIR/tools/update-service-check/update-service-check"
dir="$DEMO_OUT/update-service"
rm -rf "$dir"
mkdir -p "$dir/home"
# shellcheck source=../lib/reference-backend.sh
source scripts/lib/reference-backend.sh
start_reference_backend "$dir" 4

run() {
  HOME="$dir/home" XDG_DATA_HOME="$dir/home/.local/share" XDG_CONFIG_HOME="$dir/home/.config" \
    "$tool" "$@" 2>> "$dir/stderr.log" | grep -v -e '^$' -e '\[Orvalen'
}

echo "-- installed 1.2.0; update.ini gets the backend and its certificate"
run --host "$url" --ca "$ca" --code LUMI_DESK --version 1.2.0
package="$dir/home/.local/share/peza-studio/peza-studio-1.3.0.7z"
echo "-- the package against the server's file (md5sum)"
md5sum "$dir/packages/peza-studio-1.3.0.7z" "$package" | sed "s|$dir/||"

echo "-- installed 1.3.0: no upgrade, finish code 1"
run --version 1.3.0 || true

log="$dir/home/.local/share/peza-studio/logs/peza-update.txt"
echo "-- updater log: $log ($(wc -l < "$log") lines); its first service and library lines:"
grep -m 3 '【更新服务】' "$log"
grep -m 2 '【升级服务打印】' "$log"
