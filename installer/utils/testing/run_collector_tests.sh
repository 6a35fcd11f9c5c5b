#!/usr/bin/env bash
# Runs the telemetry clients' Windows test binary against a recording
# collector of its own: starts collector.py on 127.0.0.1, passes its port to
# the program as VARNO_COLLECTOR_PORT (Wine hands the environment through),
# runs the program with tools/wine-run.sh, stops the collector and exits
# with the program's code.
#
#   run_collector_tests.sh path/to/test.exe [gtest arguments...]
#
# WINEPREFIX (and WINEDEBUG, DISPLAY) come from the caller, as for every
# Wine test.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
exe=$(readlink -f "$1")
shift

work=$(mktemp -d /tmp/varno-collector.XXXXXX)
collector_pid=
stop_collector() {
  if [ -n "$collector_pid" ]; then
    kill "$collector_pid" 2>/dev/null
    wait "$collector_pid" 2>/dev/null
    collector_pid=
  fi
  rm -rf "$work"
}
trap stop_collector EXIT
trap 'exit 130' INT TERM

# It ends by itself too, should this script be killed before its trap runs.
python3 "$here/collector.py" --port-file "$work/port" --lifetime "${VARNO_SERVER_LIFETIME:-1800}" &
collector_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
if [ ! -s "$work/port" ]; then
  echo "run_collector_tests: the collector did not start" >&2
  exit 1
fi
export VARNO_COLLECTOR_PORT=$(cat "$work/port")
# Nothing of this run may leave the machine through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

"$root/tools/wine-run.sh" "$exe" "$@"
exit $?
