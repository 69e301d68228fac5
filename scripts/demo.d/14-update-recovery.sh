#!/usr/bin/env bash
# An update killed in the middle of its commit, on a sandbox installation of
# 100 files: the tree at the kill is a mix of old and new files; the next
# start of Update restores the old tree from the journal and the backups;
# then a clean update installs the new one. Uses the test-only build
# Update-testhooks for its switches OV_TEST_KILL_AFTER_STEP and
# OV_TEST_EXIT_AFTER_RECOVERY (the product has neither).
set -euo pipefail
dir="$DEMO_OUT/update-recovery"
rm -rf "$dir"
mkdir -p "$dir/home" "$dir/install/bin/updater" "$dir/tree"
# shellcheck source=../lib/reference-backend.sh
source scripts/lib/reference-backend.sh
start_reference_backend "$dir" 1
trap 'kill $backend_pid 2>/dev/null || true; rm -rf "$dir/install" "$dir/install.update" "$dir/tree" "$dir/home"' EXIT

for i in $(seq -w 1 100); do
  mkdir -p "$dir/install/part$((10#$i % 5))" "$dir/tree/part$((10#$i % 5))"
  echo "old 1.2.0 file $i" > "$dir/install/part$((10#$i % 5))/file$i.txt"
  echo "new 1.3.0 file $i" > "$dir/tree/part$((10#$i % 5))/file$i.txt"
done
cp "$BUILD_DIR/tests/updater/Update-testhooks" "$dir/install/bin/updater/Update"
rm -f "$dir/packages/peza-studio-1.3.0.7z"
(cd "$dir/tree" && 7z a -bd "$dir/packages/peza-studio-1.3.0.7z" . > /dev/null)
printf '#!/bin/sh\necho "$@" > "%s/restart-args.txt"\n' "$dir" > "$dir/stub-app.sh"
chmod +x "$dir/stub-app.sh"
studio="$dir/home/.local/share/peza-studio"
mkdir -p "$studio"
printf '[update]\nhost=%s\ncaFile=%s\n' "$url" "$ca" > "$studio/update.ini"
printf '[peza]\nDisplayName=沛扎直播\nDisplayVersion=1.2.0\n' > "$dir/uninstall-registry.ini"

count() { cat "$dir"/install/part*/file*.txt | grep -c "^$1 " || true; }
update() {
  HOME="$dir/home" XDG_DATA_HOME="$dir/home/.local/share" XDG_CONFIG_HOME="$dir/home/.config" TMPDIR="$dir" \
    QT_QPA_PLATFORM=offscreen OV_UNINSTALL_REGISTRY="$dir/uninstall-registry.ini" "$@" \
    timeout 120 "$dir/install/bin/updater/Update" "$dir/stub-app.sh" 1.3.0 1.2.0 upgrade > /dev/null 2>&1
}

echo "-- before: $(count old) old files, $(count new) new"
# A subshell, so that the shell's "Killed" notice stays out of the output.
status=0; (update env OV_TEST_KILL_AFTER_STEP=150) 2> /dev/null || status=$?
echo "-- Update killed after journal step 150 (status $status): the tree is a mix of $(count old) old files and $(count new) new," \
  "$(find "$dir/install.update/backup" -type f | wc -l) moved aside into the backup; journal: $(grep -c . "$dir/install.update/journal") records"
status=0; update env OV_TEST_EXIT_AFTER_RECOVERY=1 || status=$?
echo "-- next start (status $status) recovered: $(count old) old files, $(count new) new; work folder left: $([ -e "$dir/install.update" ] && echo yes || echo no)"
grep -o 'recovery: [^"]*' "$studio/logs/peza-update.txt" | sed 's/^/   log: /'
status=0; update env || status=$?
for _ in $(seq 50); do [ -s "$dir/restart-args.txt" ] && break; sleep 0.1; done
echo "-- clean update (status $status): $(count old) old files, $(count new) new; uninstall entry: $(grep DisplayVersion "$dir/uninstall-registry.ini"); restarted with: $(cat "$dir/restart-args.txt")"
