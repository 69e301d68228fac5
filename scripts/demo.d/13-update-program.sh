#!/usr/bin/env bash
# The whole update through the Update program on a sandbox: the reference
# backend offers a real 7z package of a small application tree; a copy of
# Update two folders below the sandbox installation runs in direct-upgrade
# mode under Qt's offscreen platform, installs it and restarts a stub main
# application. Prints what changed, then removes the sandbox.
set -euo pipefail
dir="$DEMO_OUT/update-program"
rm -rf "$dir"
mkdir -p "$dir/home" "$dir/install/bin/updater" "$dir/tree/data"
# shellcheck source=../lib/reference-backend.sh
source scripts/lib/reference-backend.sh
start_reference_backend "$dir" 1
trap 'kill $backend_pid 2>/dev/null || true; rm -rf "$dir/install" "$dir/tree" "$dir/home"' EXIT

echo "old app 1.2.0" > "$dir/install/app.txt"
echo "old runtime" > "$dir/install/bin/updater/vcruntime140.dll"
cp "$BUILD_DIR/updater/Update" "$dir/install/bin/updater/Update"
echo "new app 1.3.0" > "$dir/tree/app.txt"
echo "added in 1.3.0" > "$dir/tree/data/notes.txt"
mkdir -p "$dir/tree/bin/updater" && echo "new runtime" > "$dir/tree/bin/updater/vcruntime140.dll"
rm -f "$dir/packages/peza-studio-1.3.0.7z"
(cd "$dir/tree" && 7z a -bd "$dir/packages/peza-studio-1.3.0.7z" . > /dev/null)
printf '#!/bin/sh\necho "$@" > "%s/restart-args.txt"\n' "$dir" > "$dir/stub-app.sh"
chmod +x "$dir/stub-app.sh"

studio="$dir/home/.local/share/peza-studio"
mkdir -p "$studio"
printf '[update]\nhost=%s\ncaFile=%s\n' "$url" "$ca" > "$studio/update.ini"
printf '[peza]\nDisplayName=沛扎直播\nDisplayVersion=1.2.0\n' > "$dir/uninstall-registry.ini"

echo "-- before: app.txt: $(cat "$dir/install/app.txt"); runtime beside Update: $(cat "$dir/install/bin/updater/vcruntime140.dll")"
status=0
HOME="$dir/home" XDG_DATA_HOME="$dir/home/.local/share" XDG_CONFIG_HOME="$dir/home/.config" TMPDIR="$dir" \
  QT_QPA_PLATFORM=offscreen OV_UNINSTALL_REGISTRY="$dir/uninstall-registry.ini" \
  timeout 120 "$dir/install/bin/updater/Update" "$dir/stub-app.sh" 1.3.0 1.2.0 upgrade \
  > /dev/null 2>> "$dir/stderr.log" || status=$?
for _ in $(seq 50); do [ -s "$dir/restart-args.txt" ] && break; sleep 0.1; done
echo "-- Update ended with status $status"
echo "-- after: app.txt: $(cat "$dir/install/app.txt"); data/notes.txt: $(cat "$dir/install/data/notes.txt")"
echo "-- runtime beside Update (excluded from extraction): $(cat "$dir/install/bin/updater/vcruntime140.dll")"
echo "-- package left in peza-studio: $(ls "$studio"/*.7z 2>/dev/null || echo none)"
echo "-- update.ini:"; grep -E 'setupProgress|PEZAVer' "$studio/update.ini"
echo "-- uninstall entry:"; grep DisplayVersion "$dir/uninstall-registry.ini"
echo "-- main application restarted with: $(cat "$dir/restart-args.txt")"
cp "$studio/logs/peza-update.txt" "$dir/peza-update.txt"
echo "-- updater log kept as $dir/peza-update.txt"
