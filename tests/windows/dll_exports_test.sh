#!/usr/bin/env bash
# A DLL exports exactly the names listed in its .exports file (the public
# class's members, mangled by g++) and imports only OpenCL.dll and system DLLs,
# so it needs nothing beside it that we do not ship.
#   dll_exports_test.sh OBJDUMP DLL EXPECTED_EXPORTS
set -euo pipefail
objdump=$1 dll=$2 expected=$3
table=$("$objdump" -p "$dll")

# The names are the rows of the "[Ordinal/Name Pointer] Table", up to the next blank line.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" |
  sed -nE 's/^\s*\[\s*[0-9]+\] (.+)$/\1/p' | sort)
if ! diff -u "$expected" <(echo "$exports"); then
  echo "FAIL: exports of $(basename "$dll") differ from $(basename "$expected")"
  exit 1
fi

imports=$(sed -nE 's/^\s*DLL Name: (.+)$/\1/p' <<<"$table")
unexpected=$(grep -viE '^(OpenCL|KERNEL32|msvcrt|USER32|ADVAPI32)\.dll$' <<<"$imports" || true)
if [ -n "$unexpected" ]; then
  echo "FAIL: $(basename "$dll") imports DLLs we do not ship: $unexpected"
  exit 1
fi
echo "$(basename "$dll"): $(wc -l <<<"$exports") exports as expected; imports $(echo $imports)"
