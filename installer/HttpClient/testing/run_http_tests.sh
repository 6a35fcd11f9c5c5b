#!/usr/bin/env bash
# Runs one Windows test binary of the HTTP clients (or of their users)
# against loopback servers of its own: starts nginx and the scripted peer on
# 127.0.0.1, passes their ports to the program through the environment
# (Wine hands it through), runs the program with tools/wine-run.sh, stops
# the servers and exits with the program's code.
#
#   run_http_tests.sh path/to/test.exe [gtest arguments...]
#
# WINEPREFIX (and WINEDEBUG, DISPLAY) come from the caller, as for every
# Wine test; the test root certificate is trusted only inside that prefix
# and only while the program runs (TestRootEnvironment).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
exe=$(readlink -f "$1")
shift

. "$here/http_servers.sh"
work=$(mktemp -d /tmp/varno-http.XXXXXX)
trap 'http_servers_stop' EXIT
trap 'exit 130' INT TERM
if ! http_servers_start "$work"; then
  echo "run_http_tests: the loopback servers did not start" >&2
  exit 1
fi
# Nothing of this run may leave the machine through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

"$root/tools/wine-run.sh" "$exe" "$@"
rc=$?
exit $rc
