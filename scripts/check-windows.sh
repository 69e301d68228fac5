#!/usr/bin/env bash
# Syntax check, with the mingw-w64 cross compiler, of the Windows platform
# files (*/platform/*_win.cpp) that the Windows build (scripts/build-windows.sh)
# does not compile, such as those of the Qt updater. The files that build
# compiles are checked there for real.
#   BUILD_DIR  the Windows build folder (default: build-win64); without its
#              compile_commands.json every Windows platform file is checked
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=x86_64-w64-mingw32-g++-posix
command -v "$CXX" >/dev/null || { echo "missing $CXX (run scripts/setup-deps.sh)"; exit 1; }
compiled=${BUILD_DIR:-build-win64}/compile_commands.json
mapfile -t files < <(git ls-files '*/platform/*_win.cpp')
checked=0
for f in "${files[@]}"; do
  if [ -f "$compiled" ] && grep -q "\"file\": \"$PWD/$f\"" "$compiled"; then
    echo "built by the Windows build: $f"
    continue
  fi
  inc=(-I"$(dirname "$f")" -I"$(dirname "$(dirname "$f")")")
  [ -d "$(dirname "$(dirname "$f")")/include" ] && inc+=(-I"$(dirname "$(dirname "$f")")/include")
  "$CXX" -std=c++17 -fsyntax-only -Wall -Wextra "${inc[@]}" "$f"
  echo "ok: $f"
  checked=$((checked + 1))
done
echo "$checked Windows platform files syntax-checked"
