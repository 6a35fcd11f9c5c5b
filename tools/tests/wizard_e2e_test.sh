#!/usr/bin/env bash
# The wizard end to end against the demo world: the demo servers on
# 127.0.0.1 around the run, the demo CA trusted in the prefix, then the cases
# of wizard_e2e_test.py driven through the X server.
#   wizard_e2e_test.sh SETUP_EXE DEMO_BIN_DIR [CASE...]   (WINEPREFIX, DISPLAY from the caller)
# Screenshots of every case stay in ./wizard_e2e_shots.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
setup=$(readlink -f "$1") bin=$(readlink -f "$2")
shift 2
work=$(mktemp -d /tmp/varno-wizard-e2e.XXXXXX)
. "$here/demo/demo_servers.sh"
# The prefix's browser is the demo's recording one while the tests run.
browser_keys="HKCR\\http\\shell\\open\\command HKCR\\https\\shell\\open\\command"
use_recording_browser() {
  local key n=0 command="\"$(winepath -w "$bin/varno_demo_browser.exe")\" \"%1\""
  for key in $browser_keys; do
    n=$((n + 1))
    wine reg export "$key" "$(winepath -w "$work/browser-$n.reg")" /y >/dev/null 2>&1
    wine reg add "$key" /ve /d "$command" /f >/dev/null 2>&1 || return 1
  done
}
restore_browser() {
  local key n=0
  for key in $browser_keys; do
    n=$((n + 1))
    if [ -s "$work/browser-$n.reg" ]; then wine reg import "$(winepath -w "$work/browser-$n.reg")" >/dev/null 2>&1
    else wine reg delete "$key" /f >/dev/null 2>&1; fi
  done
}
cleanup() {
  restore_browser
  demo_servers_untrust "$bin/varno_demo_tool.exe" >/dev/null 2>&1
  demo_servers_stop
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all VARNO_DEMO_MIB=${VARNO_DEMO_MIB:-8} VARNO_DEMO_DOWNLOAD_SECONDS=${VARNO_DEMO_DOWNLOAD_SECONDS:-3}
export VARNO_DEMO_INSTALL_SECONDS=1
# Links the wizard opens must never reach a browser of this machine: the
# recording browser takes them, and without winebrowser nothing else could.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winebrowser.exe=d"
# The running-product check asks the fixture tasklist, which sees Wine's processes.
VARNO_DEMO_SYSTEM_TOOLS=$(winepath -w "$bin/sys_fixtures/system_tools")
export VARNO_DEMO_SYSTEM_TOOLS
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
demo_servers_start "$work/servers" "$bin/varno_demo_installer.exe" || exit 1
demo_servers_trust "$bin/varno_demo_tool.exe" || exit 1
use_recording_browser || { echo "cannot register the recording browser in $WINEPREFIX" >&2; exit 1; }
shots=$PWD/wizard_e2e_shots
rm -rf "$shots"
python3 "$here/tests/wizard_e2e_test.py" --setup "$setup" --bin "$bin" --work "$work" --shots "$shots" "$@"
