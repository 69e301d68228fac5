# shellcheck shell=bash
# Sourced by demo.sh and test.sh. require_unsigned_build DIR: stops with one
# line when DIR's CMake cache holds a signing key. Such a build refuses the
# unsigned packages the demo and the tests install, which would show up as
# odd demo output and tests running into their time limits.
require_unsigned_build() {
  local cache=$1/CMakeCache.txt
  if grep -q '^UPDATE_SIGNING_PUBLIC_KEYS:[A-Z]*=.' "$cache" 2>/dev/null; then
    echo "$(basename "$0"): $1 was configured with UPDATE_SIGNING_PUBLIC_KEYS; use another folder for signed builds, or run: cmake -S . -B $1 -UUPDATE_SIGNING_PUBLIC_KEYS" >&2
    exit 1
  fi
}
