#!/bin/sh
# CTest fixture around the tests that run Update: "record FILE" lists this
# user's System V shared memory segments and semaphores; "check FILE" fails
# when the suite left new ones behind.
set -eu
list() {
  user=$(id -un)
  ipcs -m | awk -v u="$user" '$3 == u { print "segment key " $1 " id " $2 }'
  ipcs -s | awk -v u="$user" '$3 == u { print "semaphore key " $1 " id " $2 }'
}
case "$1" in
  record) list | sort > "$2" ;;
  check)
    list | sort > "$2.after"
    left=$(comm -13 "$2" "$2.after")
    if [ -n "$left" ]; then
      echo "System V objects left behind by the suite:"
      echo "$left"
      exit 1
    fi
    echo "no System V objects left behind" ;;
  *) echo "usage: $0 record|check FILE" >&2; exit 2 ;;
esac
