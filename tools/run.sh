#!/usr/bin/env bash
# Builds the shipped (i686) installer and starts it under Wine on a virtual
# display, as a user would run it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VARNO_ROOT=$root
"$root/tools/setup.sh"
dir=$root/build/run
[ -f "$dir/build.ninja" ] || cmake -S "$root" -B "$dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" ${VARNO_PRODUCT_DIR:+-DVARNO_PRODUCT_DIR="$VARNO_PRODUCT_DIR"} >/dev/null
cmake --build "$dir" --target installer
. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start
echo "run: starting $dir/bin/VarnoSetup.exe on DISPLAY=$DISPLAY"
wine "$dir/bin/VarnoSetup.exe"
