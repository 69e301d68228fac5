#!/usr/bin/env bash
# Runs the command blocks of README.md and docs/*.md that are marked
# runnable, against an existing build, so that the docs and the code cannot
# drift apart. A block is marked by a line
#   <!-- check-docs -->
# right before its ``` fence; "<!-- check-docs: COMMANDS -->" runs COMMANDS
# first (what a reader brings along, such as an input video). The marked
# blocks of one file run in order in one shell (set -euo pipefail, 5 minutes
# at most), in a fresh temporary folder that links the tree's top-level
# entries and the build folder as build/, with HOME inside it.
#   BUILD_DIR  the build to run against (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${BUILD_DIR:-build}" && pwd)
# PoCL keeps compiled kernels under the cache folder; keep using the real one.
export XDG_CACHE_HOME=${XDG_CACHE_HOME:-$HOME/.cache}

# The marked blocks of a Markdown file as one script, each block announced
# by its file and line and stripped of the fence's indentation.
marked_blocks() {
  awk -v file="$1" '
    function fail(why) { print file ":" NR ": " why > "/dev/stderr"; bad = 1; exit 1 }
    inblock && $0 ~ "^" indent "```[ \t]*$" { inblock = 0; next }
    inblock { print (index($0, indent) == 1 ? substr($0, length(indent) + 1) : $0); next }
    marked {
      if ($0 !~ /^[ \t]*```/) fail("a check-docs mark must stand right before a fence")
      match($0, /^[ \t]*/); indent = substr($0, 1, RLENGTH)
      printf "echo \"== %s:%d\"\n%s\n", file, NR + 1, prelude
      marked = 0; inblock = 1; next
    }
    /^[ \t]*<!-- check-docs(:.*)? -->[ \t]*$/ {
      prelude = $0
      sub(/^[ \t]*<!-- check-docs:? ?/, "", prelude); sub(/ ?-->[ \t]*$/, "", prelude)
      marked = 1; blocks++
    }
    END { if (!bad && inblock) fail("unclosed fence"); if (!bad && marked) fail("mark at the end") }
  ' "$1"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for doc in README.md docs/*.md; do
  script=$(marked_blocks "$doc") || exit 1
  [ -n "$script" ] || continue
  dir=$work/$(basename "$doc" .md)
  mkdir -p "$dir/home"
  git ls-files | cut -d/ -f1 | sort -u | while read -r entry; do
    [ "$entry" = build ] || ln -s "$root/$entry" "$dir/$entry"
  done
  ln -s "$build" "$dir/build"
  printf '%s\n' "trap 'kill \$(jobs -p) 2>/dev/null || true' EXIT" "$script" > "$work/$(basename "$dir").sh"
  echo "=== $doc"
  if ! (cd "$dir" && HOME=$dir/home timeout 300 bash -euo pipefail "$work/$(basename "$dir").sh" < /dev/null); then
    echo "check-docs: a marked block of $doc failed (see the last == line above)" >&2
    status=1
  fi
done
exit $status
