#!/usr/bin/env bash
# Runs one Windows test binary under Wine with the test command's prefix and
# display, passing the program's exit code through.
set -u
exe=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:?WINEPREFIX is set by tools/test.sh}
export GTEST_COLOR=no
cd "$(dirname "$exe")"
exec wine "$exe" "$@"
