#!/usr/bin/env bash
# Builds the installer with the demo overlay (tools/demo/product: every
# address on 127.0.0.1) and the demo programs, starts the demo servers and
# runs VarnoSetup.exe under Wine against them.
#   With a real $DISPLAY: runs it for the user and reports when it ends.
#   Without: starts a virtual display and lets tools/demo/drive.py click
#   through the wizard, taking screenshots.
# Then prints where the screenshots and the log are, the download's time and
# size, and what the servers received. Builds i686 as shipped, x86_64 where
# this machine cannot run 32-bit programs; VARNO_RUN_ARCH=i686|x86_64 forces
# one. VARNO_DEMO_MIB and VARNO_DEMO_DOWNLOAD_SECONDS size the download
# (see tools/demo/demo_servers.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VARNO_ROOT=$root
"$root/tools/setup.sh"
. "$root/tools/wine-env.sh"
arch=${VARNO_RUN_ARCH:-$([ -n "${VARNO_WIN32_UNAVAILABLE:-}" ] && echo x86_64 || echo i686)}
dir=$root/build/demo-$arch
[ -f "$dir/build.ninja" ] || cmake -S "$root" -B "$dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
  -DVARNO_PRODUCT_DIR="$root/tools/demo/product" >/dev/null
flock /tmp/varno-cpu.lock cmake --build "$dir" -j 2 --target installer varno_demo
bin=$dir/bin

work=$root/build/demo-run/$(date -u +%Y%m%d-%H%M%S)
mkdir -p "$work"
user_display=${DISPLAY:-}
. "$root/tools/demo/demo_servers.sh"
wizard_pid=
stop_all() {
  set +e
  [ -n "$wizard_pid" ] && { kill "$wizard_pid" 2>/dev/null; wait "$wizard_pid" 2>/dev/null; }
  [ -n "${VARNO_DEMO_CA:-}" ] && demo_servers_untrust "$bin/varno_demo_tool.exe" >/dev/null 2>&1
  demo_servers_stop
  wine_env_stop
}
trap stop_all EXIT
trap 'exit 130' INT TERM
wine_env_start
demo_servers_start "$work/servers" "$bin/varno_demo_installer.exe"
demo_servers_trust "$bin/varno_demo_tool.exe"
export VARNO_DEMO_RECORD
VARNO_DEMO_RECORD=$(_http_wine_path "$work")\\record.txt
log=$work/wizard.log
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

drive_rc=0
if [ -n "$user_display" ]; then
  echo "run: starting $bin/VarnoSetup.exe on DISPLAY=$DISPLAY (log $log)"
  wine "$bin/VarnoSetup.exe" >"$log" 2>&1 || echo "run: VarnoSetup.exe ended with code $?"
else
  echo "run: starting $bin/VarnoSetup.exe on the virtual display $DISPLAY (log $log)"
  wine "$bin/VarnoSetup.exe" >"$log" 2>&1 &
  wizard_pid=$!
  python3 "$root/tools/demo/drive.py" --shots "$work/shots" || drive_rc=$?
  # The product it started, if any, has its own window: let it be seen in the shots, then end the session.
fi

stop_all
trap - EXIT
echo
echo "run: screenshots: $work/shots"
echo "run: wizard log:  $log"
echo "run: record:      $work/record.txt"
python3 "$root/tools/demo/demo_report.py" --work "$work/servers" --record "$work/record.txt"
exit "$drive_rc"
