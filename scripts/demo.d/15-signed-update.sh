#!/usr/bin/env bash
# Signed packages: update-sign makes a key pair and signs a real 7z package;
# the test-only Update-testkeys (test keys A and B built in, see
# tests/support/TestSigningKeys.h) installs the package signed with key B;
# then the package is tampered with on the server (its MD5 announced right)
# and the updater refuses it: finish code 2, package deleted, reason logged.
set -euo pipefail
dir="$DEMO_OUT/signed-update"
rm -rf "$dir"
mkdir -p "$dir/home" "$dir/install/bin/updater" "$dir/tree/data"
sign="$BUILD_DIR/tools/update-sign/update-sign"
# shellcheck source=../lib/reference-backend.sh
source scripts/lib/reference-backend.sh
start_reference_backend "$dir" 1
trap 'kill $backend_pid 2>/dev/null || true; rm -rf "$dir/install" "$dir/tree" "$dir/home" "$dir/check-home"' EXIT

echo "-- update-sign keygen: a vendor's key pair"
"$sign" keygen "$dir/vendor-keys" 2> /dev/null
stat -c '   %A %n' "$dir/vendor-keys/secret.key" "$dir/vendor-keys/public.key" | sed "s|$dir/||"

package="$dir/packages/peza-studio-1.3.0.7z"
echo "old app 1.2.0" > "$dir/install/app.txt"
cp "$BUILD_DIR/tests/updater/Update-testkeys" "$dir/install/bin/updater/Update"
echo "new app 1.3.0" > "$dir/tree/app.txt"
echo "added in 1.3.0" > "$dir/tree/data/notes.txt"
rm -f "$package"
(cd "$dir/tree" && 7z a -bd "$package" . > /dev/null)

echo "-- sign the 1.3.0 package with test key B (built into Update-testkeys)"
grep -A1 'kSecretB\[\]' tests/support/TestSigningKeys.h | tail -1 | cut -d'"' -f2 > "$dir/test-key-b.key"
"$sign" sign --key "$dir/test-key-b.key" --package "$package" --code LUMI_DESK --version 1.3.0 \
  > "$package.sig" 2> "$dir/sign.txt"
sed "s|^update-sign: |   |" "$dir/sign.txt"
echo "   signature: $(cat "$package.sig")"
public_b=$(grep -o 'kPublicB\[\] = "[^"]*"' tests/support/TestSigningKeys.h | cut -d'"' -f2)
echo "-- update-sign verify with key B: $("$sign" verify --public-key "$public_b" --package "$package" \
  --code LUMI_DESK --version 1.3.0 --signature "$(cat "$package.sig")" 2> /dev/null)"
echo "-- the same signature for version 1.3.1: $("$sign" verify --public-key "$public_b" --package "$package" \
  --code LUMI_DESK --version 1.3.1 --signature "$(cat "$package.sig")" 2> /dev/null || true)"

studio="$dir/home/.local/share/peza-studio"
mkdir -p "$studio"
printf '[update]\nhost=%s\ncaFile=%s\n' "$url" "$ca" > "$studio/update.ini"
printf '[peza]\nDisplayName=沛扎直播\nDisplayVersion=1.2.0\n' > "$dir/uninstall-registry.ini"
printf '#!/bin/sh\necho "$@" > "%s/restart-args.txt"\n' "$dir" > "$dir/stub-app.sh"
chmod +x "$dir/stub-app.sh"
status=0
HOME="$dir/home" XDG_DATA_HOME="$dir/home/.local/share" XDG_CONFIG_HOME="$dir/home/.config" TMPDIR="$dir" \
  QT_QPA_PLATFORM=offscreen OV_UNINSTALL_REGISTRY="$dir/uninstall-registry.ini" \
  timeout 120 "$dir/install/bin/updater/Update" "$dir/stub-app.sh" 1.3.0 1.2.0 upgrade \
  > /dev/null 2>> "$dir/stderr.log" || status=$?
for _ in $(seq 50); do [ -s "$dir/restart-args.txt" ] && break; sleep 0.1; done
echo "-- signed package: Update ended with status $status; app.txt: $(cat "$dir/install/app.txt")"
grep -o 'package signature verified.*' "$studio/logs/peza-update.txt" | sed 's/^/   log: /'

echo "-- tamper with the package on the server (one byte more; the server announces its new MD5)"
printf 'x' >> "$package"
mkdir -p "$dir/check-home"
check_status=0
HOME="$dir/check-home" XDG_DATA_HOME="$dir/check-home/.local/share" XDG_CONFIG_HOME="$dir/check-home/.config" \
  "$BUILD_DIR/tests/updater/update-service-check-testkeys" --host "$url" --ca "$ca" --version 1.2.0 \
  2>> "$dir/stderr.log" | grep '^sigDownloadFinishBack' | sed 's/^/   /' || check_status=$?
check_log="$dir/check-home/.local/share/peza-studio/logs/peza-update.txt"
grep -o 'package signature refused.*' "$check_log" | sed "s|$dir/||;s/^/   log: /"
echo "   package left: $(ls "$dir/check-home/.local/share/peza-studio/"*.7z 2>/dev/null || echo none)"
cp "$check_log" "$dir/refused-update.txt"
echo "-- updater logs kept as $dir/refused-update.txt"
