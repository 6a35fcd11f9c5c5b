#!/usr/bin/env bash
# Times decoding every image of the resource archive: the in-process figures
# of image_bench, and the whole process (Wine start included) over ten runs
# against a process that does nothing. BUILD_DIR picks the i686 build tree;
# an optional argument names a ZIP archive to use instead of the built-in one.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export VARNO_ROOT=$root
build=${BUILD_DIR:-$root/build/i686}
ninja -C "$build" -j1 image_bench >/dev/null
. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start
exe=$build/bin/image_bench.exe
arg=()
if [ $# -gt 0 ]; then arg=("Z:$(realpath "$1")"); fi
wine "$exe" "${arg[@]}"
python3 - "$exe" "${arg[@]}" <<'PY'
import statistics, subprocess, sys, time
import os
def runs(cmd, env=None):
    out = []
    for _ in range(10):
        t = time.perf_counter(); subprocess.run(cmd, check=True, capture_output=True, env=env); out.append(time.perf_counter() - t)
    return statistics.median(out)
bench = runs(["wine"] + sys.argv[1:], dict(os.environ, VARNO_IMAGE_ROUNDS="1"))
idle = runs(["wine", "cmd", "/c", "exit"])
print(f"whole process, every image decoded once: median {bench*1000:.1f} ms over 10 runs;"
      f" wine start alone (cmd /c exit): {idle*1000:.1f} ms")
PY
