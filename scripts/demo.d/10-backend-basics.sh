#!/usr/bin/env bash
# MD5 digests and the thread pool of the backend client, checked against md5sum.
set -euo pipefail
demo="$BUILD_DIR/tools/backend-demo/backend-demo"
dir="$DEMO_OUT/backend-basics"
mkdir -p "$dir"

# Sample files: empty, one 1024-byte chunk, one past it, and four of 16 MiB.
: > "$dir/empty.bin"
head -c 1024 /dev/urandom > "$dir/chunk.bin"
head -c 1025 /dev/urandom > "$dir/chunk-plus-one.bin"
files=("$dir/empty.bin" "$dir/chunk.bin" "$dir/chunk-plus-one.bin")
for part in 1 2 3 4; do
  head -c $((16 << 20)) /dev/urandom > "$dir/package-part$part.7z"
  files+=("$dir/package-part$part.7z")
done

echo "-- digest of a text (RFC 1321 suite: abc)"
"$demo" text abc | grep -E '^[0-9a-f]{32}  '

echo "-- digests of files, one by one, against md5sum"
"$demo" md5 "${files[@]}" | grep -E '^[0-9a-f]{32}  ' > "$dir/ours.txt"
md5sum "${files[@]}" > "$dir/md5sum.txt"
cat "$dir/ours.txt"
diff "$dir/ours.txt" "$dir/md5sum.txt" && echo "same as md5sum"

echo "-- the same files at once on the thread pool (with the pool's own log lines)"
"$demo" pool "${files[@]}" | tee "$dir/pool.log" | grep -E 'OrvalenThread|digested' | sed 's/\x1b\[[0-9;]*m//g'
grep -E '^[0-9a-f]{32}  ' "$dir/pool.log" | diff - "$dir/md5sum.txt" && echo "same as md5sum"

echo "-- a missing file gives no digest"
"$demo" md5 "$dir/missing.bin" | sed 's/\x1b\[[0-9;]*m//g' | grep -E 'fail|no digest' || true
