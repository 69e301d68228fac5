# Sourced by demo steps. start_reference_backend DIR MIB: the reference update
# backend (tools/update-backend) on a free port of 127.0.0.1, offering
# LUMI_DESK 1.3.0 (version value 130) as DIR/packages/peza-studio-1.3.0.7z of
# MIB random MiB; it is stopped when the step ends. Sets url and ca (the
# certificate to trust).
start_reference_backend() {
  local dir=$1 mib=$2
  mkdir -p "$dir/packages" "$dir/state"
  head -c $((mib << 20)) /dev/urandom > "$dir/packages/peza-studio-1.3.0.7z"
  cat > "$dir/packages/manifest.json" <<'JSON'
{"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0", "versionValue": 130,
               "description": "Sharper keying, faster grading", "file": "peza-studio-1.3.0.7z"}]}
JSON
  python3 tools/update-backend/server.py --port 0 --packages "$dir/packages" \
    --state-dir "$dir/state" > "$dir/server.json" 2> "$dir/server.log" &
  backend_pid=$!
  trap 'kill $backend_pid 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -s "$dir/server.json" ] && break; sleep 0.1; done
  read -r url ca < <(python3 -c 'import json,sys; i=json.load(open(sys.argv[1])); print(i["url"], i["ca_file"])' "$dir/server.json")
  echo "-- reference backend at $url (certificate $ca)"
}
