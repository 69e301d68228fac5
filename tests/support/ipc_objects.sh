#!/bin/sh
# CTest fixture around the tests that run Update.
#   record FILE  lists this user's System V shared memory segments and
#                semaphores, and empties FILE.pids, where the tests note the
#                process ids of the Update programs they start;
#   check FILE   fails when a segment or semaphore that was not there before
#                was made or last used by one of those programs.
# Objects of other programs (another suite running at the same time) are
# left out by their process ids.
set -eu
list() {
  user=$(id -un)
  ipcs -m | awk -v u="$user" '$3 == u { print "segment " $2 }'
  ipcs -s | awk -v u="$user" '$3 == u { print "semaphore " $2 }'
}
# The creator and last user of a segment, the last user of a semaphore.
pids_of() {
  if [ "$1" = segment ]; then
    ipcs -m -p | awk -v id="$2" '$1 == id { print $3; print $4 }'
  else
    ipcs -s -i "$2" 2>/dev/null | awk 'f && NF == 5 { print $5 } /^semnum/ { f = 1 }'
  fi
}
case "$1" in
  record)
    list | sort > "$2"
    : > "$2.pids" ;;
  check)
    list | sort > "$2.after"
    left=""
    for object in $(comm -13 "$2" "$2.after" | tr ' ' ':'); do
      kind=${object%%:*} id=${object#*:}
      for pid in $(pids_of "$kind" "$id"); do
        if grep -qx "$pid" "$2.pids" 2>/dev/null; then
          left="$left$kind $id (process $pid)
"
          break
        fi
      done
    done
    if [ -n "$left" ]; then
      echo "System V objects left behind by the suite's Update programs:"
      printf '%s' "$left"
      exit 1
    fi
    echo "no System V objects left behind ($(wc -l < "$2.pids") Update programs started)" ;;
  *) echo "usage: $0 record|check FILE" >&2; exit 2 ;;
esac
