#!/usr/bin/env bash
# The wizard end to end against the demo world: the demo servers on
# 127.0.0.1 around the run, the demo CA trusted in the prefix, then the cases
# of wizard_e2e_test.py driven through the X server.
#   wizard_e2e_test.sh SETUP_EXE DEMO_BIN_DIR [CASE...]   (WINEPREFIX, DISPLAY from the caller)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
setup=$(readlink -f "$1") bin=$(readlink -f "$2")
shift 2
work=$(mktemp -d /tmp/varno-wizard-e2e.XXXXXX)
. "$here/demo/demo_servers.sh"
cleanup() {
  demo_servers_untrust "$bin/varno_demo_tool.exe" >/dev/null 2>&1
  demo_servers_stop
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all VARNO_DEMO_MIB=${VARNO_DEMO_MIB:-8} VARNO_DEMO_DOWNLOAD_SECONDS=${VARNO_DEMO_DOWNLOAD_SECONDS:-3}
export VARNO_DEMO_INSTALL_SECONDS=1
# Links the wizard opens (the feedback page on close) must not reach a
# browser of this machine: without winebrowser they open nowhere.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winebrowser.exe=d"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
demo_servers_start "$work/servers" "$bin/varno_demo_installer.exe" || exit 1
demo_servers_trust "$bin/varno_demo_tool.exe" || exit 1
python3 "$here/tests/wizard_e2e_test.py" --setup "$setup" --work "$work" "$@"
