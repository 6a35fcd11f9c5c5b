#!/usr/bin/env bash
# The wizard's figures against the demo world (tools/demo): start to first
# frame of the demo-rebranded VarnoSetup.exe against a bare program that only
# presents one bitmap in a layered window (medians of alternating runs); then
# one installation of a 120 MiB download, with the process's peak working
# set and the UI thread's processor time per second on the download page.
# Usage: run_wizard_bench.sh [build dir] [runs, default 9] [download seconds, default 30]
set -euo pipefail
. "$(dirname "$0")/bench_env.sh" "${1:-}"
cmake --build "$build" --target varno_demo_setup varno_demo bare_window -- -j2 >/dev/null
bin=$build/bin
work=$(mktemp -d /tmp/varno-wizard-bench.XXXXXX)
. "$root/tools/demo/demo_servers.sh"
stop_all() {
  set +e
  demo_servers_untrust "$bin/varno_demo_tool.exe" >/dev/null 2>&1
  demo_servers_stop
  wine_env_stop
  rm -rf "$work"
}
trap stop_all EXIT
export VARNO_DEMO_MIB=120 VARNO_DEMO_DOWNLOAD_SECONDS=${3:-30} VARNO_DEMO_INSTALL_SECONDS=1 VARNO_DEMO_REMOVE_WORK=1
# Links the wizard opens go nowhere.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winebrowser.exe=d"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
wine_env_start
demo_servers_start "$work/servers" "$bin/varno_demo_installer.exe"
demo_servers_trust "$bin/varno_demo_tool.exe"
python3 "$root/tools/bench/wizard_bench.py" --setup "$bin/demo_setup/VarnoSetup.exe" \
  --bare "$bin/bare_window.exe" --work "$work" --runs "${2:-9}" ${VARNO_BENCH_START_ONLY:+--start-only}
