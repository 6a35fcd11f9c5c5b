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
# Signed copies of a program for the download checks: signed.exe by "VARNO
# Test Signer", other-signer.exe by another name, tampered.exe changed after
# signing.
for who in signer:signed other:other-signer; do
  if ! osslsigncode sign -certs "$work/certs/${who%%:*}.pem" -key "$work/certs/${who%%:*}.key" -h sha256 \
      -in "$exe" -out "$work/www/${who#*:}.exe" >/dev/null; then
    echo "run_http_tests: osslsigncode could not sign a program" >&2
    exit 1
  fi
done
cp "$work/www/signed.exe" "$work/www/tampered.exe"
printf 'X' | dd of="$work/www/tampered.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
# Nothing of this run may leave the machine through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

"$root/tools/wine-run.sh" "$exe" "$@"
rc=$?
exit $rc
