#!/usr/bin/env bash
# Builds and shows the control gallery under Wine (see the README). With a
# DISPLAY of your own the window stays until you close it; otherwise it runs
# on a virtual display, saves build/gallery.png after five seconds and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export VARNO_ROOT=$root
"$root/tools/setup.sh"
. "$root/tools/wine-env.sh"
build=$root/build/i686
toolchain=i686
if [ -n "${VARNO_WIN32_UNAVAILABLE:-}" ]; then build=$root/build/x86_64; toolchain=x86_64; fi
[ -f "$build/build.ninja" ] ||
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$toolchain-w64-mingw32.cmake" >/dev/null
cmake --build "$build" --target gallery -- -j2 >/dev/null
own_display=${DISPLAY:-}
trap wine_env_stop EXIT
wine_env_start
if [ -n "$own_display" ] && [ -z "${VARNO_OWN_DISPLAY:-}" ]; then
  wine "$build/bin/gallery.exe" "$@"
else
  (sleep 5; import -window root "$root/build/gallery.png") &
  wine "$build/bin/gallery.exe" --seconds 6 "$@"
  wait
  echo "gallery: screenshot in build/gallery.png"
fi
