#!/usr/bin/env bash
# Runs the fault fixture as the Wine tests are run (tools/wine-run.sh) and
# checks that each fault fails it: a crash within seconds, with a non-zero
# exit and Wine's backtrace; a double free through the heap checker.
set -u
fixture=$1
limit=20
run=$(dirname "$0")/../wine-run.sh
out=$(mktemp)
trap 'rm -f "$out"' EXIT
fail=0

start=$(date +%s)
timeout $((limit * 3)) "$run" "$fixture" crash >"$out" 2>&1
rc=$?
elapsed=$(($(date +%s) - start))
cat "$out"
[ "$rc" -ne 0 ] || { echo "FAIL: the crashed fixture exited 0"; fail=1; }
[ "$rc" -ne 124 ] || { echo "FAIL: the crashed fixture was still running after $((limit * 3)) s"; fail=1; }
[ "$elapsed" -le "$limit" ] || { echo "FAIL: the crash took $elapsed s to end the fixture (limit $limit s)"; fail=1; }
grep -q "^Backtrace:" "$out" || { echo "FAIL: no backtrace in the output"; fail=1; }
grep -q "still running" "$out" && { echo "FAIL: the fixture went on after the fault"; fail=1; }
[ "$fail" = 0 ] && echo "crash ended the fixture in $elapsed s with exit code $rc"

WINEDEBUG=-all,warn+heap timeout $((limit * 3)) "$run" "$fixture" double-free >"$out" 2>&1
rc=$?
cat "$out"
[ "$rc" -ne 0 ] || { echo "FAIL: a double free passed the heap-checked run"; fail=1; }
grep -q "heap checker" "$out" || { echo "FAIL: the heap-checked run did not say why it failed"; fail=1; }
exit $fail
