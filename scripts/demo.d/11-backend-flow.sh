#!/usr/bin/env bash
# One real update flow over HTTPS against the reference backend: signing key,
# signed upgrade check, download address, package download with MD5 check; then
# a download cut off by the server and resumed with a byte range.
set -euo pipefail
tool="$BUILD_DIR/tools/update-check/update-check"
dir="$DEMO_OUT/backend-flow"
rm -rf "$dir"
mkdir -p "$dir/downloads"
# shellcheck source=../lib/reference-backend.sh
source scripts/lib/reference-backend.sh
start_reference_backend "$dir" 8

run() { "$tool" --host "$url" --ca "$ca" --code LUMI_DESK --dir "$dir/downloads" --log "$dir/client.log" "$@" 2>> "$dir/curl-trace.log" | grep -v -e '^$' -e OrvalenThread -e OrvalenMd5; }

echo "-- installed 1.2.0: check, address, download"
run --version-value 120
echo "-- the downloaded file against the package (md5sum)"
(cd "$dir" && md5sum packages/peza-studio-1.3.0.7z downloads/peza-studio-1.3.0.7z)

echo "-- installed 1.3.0: nothing to do"
run --version-value 130

echo "-- the server drops the connection after 3 MB once; the retry resumes"
rm -f "$dir/downloads/peza-studio-1.3.0.7z"
curl -s --cacert "$ca" -d "" "$url/__admin/reset" > /dev/null
curl -s --cacert "$ca" -d '{"drop_after_bytes": 3000000, "times": 1, "path": "/packages/"}' "$url/__admin/faults" > /dev/null
run --version-value 120
echo "-- what the server saw of the package requests"
curl -s --cacert "$ca" "$url/__admin/seen" | python3 -c '
import json, sys
for r in json.load(sys.stdin)["requests"]:
    if r["path"].startswith("/packages/"):
        print("  %s %s  Range: %s  -> %d" % (r["method"], r["path"], r["range"] or "(none)", r["status"]))'

echo "-- a wrong signing key: the server refuses the signature"
curl -s --cacert "$ca" -d '{"data_value": "not-the-key", "path": "/api/v1/sign/getSignKey"}' "$url/__admin/faults" > /dev/null
run --version-value 120 || true
grep -o 'bsReceivedPackgae.code\[[0-9]*\]' "$dir/client.log" | tail -n 1
