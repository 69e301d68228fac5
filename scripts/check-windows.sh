#!/usr/bin/env bash
# Syntax check of the Windows implementations of the platform layer with the
# mingw-w64 cross compiler: every */platform/*_win.cpp must compile for _WIN32.
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=x86_64-w64-mingw32-g++
command -v "$CXX" >/dev/null || { echo "missing $CXX (run scripts/setup-deps.sh)"; exit 1; }
mapfile -t files < <(git ls-files '*/platform/*_win.cpp')
for f in "${files[@]}"; do
  inc=(-I"$(dirname "$f")" -I"$(dirname "$(dirname "$f")")")
  [ -d "$(dirname "$(dirname "$f")")/include" ] && inc+=(-I"$(dirname "$(dirname "$f")")/include")
  "$CXX" -std=c++17 -fsyntax-only -Wall -Wextra "${inc[@]}" "$f"
  echo "ok: $f"
done
[ ${#files[@]} -gt 0 ] || echo "no Windows platform files yet"
