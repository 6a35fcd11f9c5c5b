#!/usr/bin/env bash
# Runs one Windows test binary under Wine with the test command's prefix and
# display, passing the program's exit code through. An unhandled exception
# fails the run whatever exit code the debugger leaves behind (Wine's is not
# fixed: 0 was seen). With Wine's heap checking on (WINEDEBUG holding "heap"),
# any fault it reports fails the run too, since a freed block used or freed
# again does not always crash.
set -u
exe=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:?WINEPREFIX is set by tools/test.sh}
export GTEST_COLOR=no
cd "$(dirname "$exe")"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
set -o pipefail
{ wine "$exe" "$@" 2>&1 1>&3 3>&- | tee "$log" >&2; } 3>&1
rc=$?
if grep -q '^wine: Unhandled' "$log"; then
  echo "wine-run: $(basename "$exe") ended by an unhandled exception" >&2
  [ "$rc" -ne 0 ] || rc=1
fi
if grep -qE ':(err|warn):heap:' "$log"; then
  echo "wine-run: the heap checker reported faults in $(basename "$exe"):" >&2
  grep -E ':(err|warn):heap:' "$log" | head -n 5 >&2
  [ "$rc" -ne 0 ] || rc=1
fi
exit $rc
