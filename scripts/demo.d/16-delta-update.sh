#!/usr/bin/env bash
# Delta updates: 1.4.0 is published as the full package and as a delta
# against 1.3.0 (update-delta make). Update on a 1.3.0 installation fetches
# only the delta, rebuilds the changed files beside the installation and
# installs them; on a copy where the user edited a file the delta is refused
# and the full package is installed in the same attempt.
set -euo pipefail
dir="$DEMO_OUT/delta-update"
rm -rf "$dir"
mkdir -p "$dir/home" "$dir/release-1.3.0/lib" "$dir/release-1.4.0/lib"
# shellcheck source=../lib/reference-backend.sh
source scripts/lib/reference-backend.sh
start_reference_backend "$dir" 1
trap 'kill $backend_pid 2>/dev/null || true; rm -rf "$dir/install" "$dir/release-1.3.0" "$dir/release-1.4.0" "$dir/home"' EXIT

echo "-- releases 1.3.0 and 1.4.0: 1.4.0 edits 4 KiB of lib/core.dll, changes app.txt, adds notes.txt"
head -c $((3 << 20)) /dev/urandom > "$dir/release-1.3.0/lib/core.dll"
head -c $((2 << 20)) /dev/urandom > "$dir/release-1.3.0/lib/media.dll"
echo "app 1.3.0" > "$dir/release-1.3.0/app.txt"
cp -r "$dir/release-1.3.0/." "$dir/release-1.4.0/"
head -c 4096 /dev/urandom | dd of="$dir/release-1.4.0/lib/core.dll" bs=4096 seek=100 conv=notrunc 2> /dev/null
echo "app 1.4.0" > "$dir/release-1.4.0/app.txt"
echo "new in 1.4.0" > "$dir/release-1.4.0/notes.txt"

full="$dir/packages/peza-studio-1.4.0.7z"
delta="$dir/packages/peza-studio-1.3.0-to-1.4.0.7z"
rm -f "$dir/packages/peza-studio-1.3.0.7z"
(cd "$dir/release-1.4.0" && 7z a -bd "$full" . > /dev/null)
echo "-- update-delta make --from release-1.3.0 --to release-1.4.0"
"$BUILD_DIR/tools/update-delta/update-delta" make --from "$dir/release-1.3.0" \
  --to "$dir/release-1.4.0" -o "$delta" --from-version 1.3.0 --to-version 1.4.0 --full "$full" | sed 's/^/   /'
cat > "$dir/packages/manifest.json" <<'JSON'
{"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.4.0", "versionValue": 140,
               "description": "Delta-ready release", "file": "peza-studio-1.4.0.7z",
               "deltas": [{"fromVersionValue": 130, "file": "peza-studio-1.3.0-to-1.4.0.7z"}]}]}
JSON

# install_130: a fresh 1.3.0 installation with Update two folders below it.
install_130() {
  rm -rf "$dir/install" "$dir/home" "$dir/restart-args.txt"
  mkdir -p "$dir/install/bin/updater" "$dir/home/.local/share/peza-studio"
  cp -r "$dir/release-1.3.0/." "$dir/install/"
  cp "$BUILD_DIR/updater/Update" "$dir/install/bin/updater/Update"
  printf '[update]\nhost=%s\ncaFile=%s\n' "$url" "$ca" > "$dir/home/.local/share/peza-studio/update.ini"
  printf '[peza]\nDisplayName=沛扎直播\nDisplayVersion=1.3.0\n' > "$dir/uninstall-registry.ini"
}
printf '#!/bin/sh\necho "$@" > "%s/restart-args.txt"\n' "$dir" > "$dir/stub-app.sh"
chmod +x "$dir/stub-app.sh"

# update: runs Update 1.3.0 -> 1.4.0 and prints what it fetched and installed.
update() {
  curl -s --cacert "$ca" -X POST "$url/__admin/reset" > /dev/null
  local status=0
  HOME="$dir/home" XDG_DATA_HOME="$dir/home/.local/share" XDG_CONFIG_HOME="$dir/home/.config" TMPDIR="$dir" \
    QT_QPA_PLATFORM=offscreen OV_UNINSTALL_REGISTRY="$dir/uninstall-registry.ini" \
    timeout 120 "$dir/install/bin/updater/Update" "$dir/stub-app.sh" 1.4.0 1.3.0 upgrade \
    > /dev/null 2>> "$dir/stderr.log" || status=$?
  for _ in $(seq 50); do [ -s "$dir/restart-args.txt" ] && break; sleep 0.1; done
  echo "   Update ended with status $status; restarted as: $(cat "$dir/restart-args.txt")"
  curl -s --cacert "$ca" "$url/__admin/seen" | python3 -c '
import json, os, sys
folder = sys.argv[1]
for r in json.load(sys.stdin)["requests"]:
    if r["path"].startswith("/packages/"):
        name = r["path"][len("/packages/"):]
        print("   fetched %s: %d bytes" % (name, os.path.getsize(os.path.join(folder, name))))' "$dir/packages"
  grep -o 'delta staged:.*\|delta not used.*' "$dir/home/.local/share/peza-studio/logs/peza-update.txt" |
    sed 's/^/   log: /'
  if diff -r -x bin "$dir/install" "$dir/release-1.4.0" > /dev/null; then
    echo "   the installation now equals release 1.4.0"
  else
    echo "   the installation differs from release 1.4.0"
  fi
}

echo "-- a 1.3.0 installation updates with the delta"
install_130
update
echo "-- a 1.3.0 installation whose lib/media.dll the user changed: the delta is refused"
install_130
echo "patched by the user" >> "$dir/install/lib/media.dll"
update
