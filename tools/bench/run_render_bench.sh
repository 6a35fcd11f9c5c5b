#!/usr/bin/env bash
# Paints the 640 x 360 test scene 500 times into a render context: the
# program's own median per frame, then the whole process (Wine start
# included) over five runs against a process that does nothing. The last
# frame is written to build/bench/render_scene.png.
# Usage: run_render_bench.sh [build dir, default build/i686] [frames, default 500]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/i686}
frames=${2:-500}
export VARNO_ROOT=$root
cmake --build "$build" --target render_bench -- -j1 >/dev/null
mkdir -p "$root/build/bench"
. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start
exe=$build/bin/render_bench.exe
png=$root/build/bench/render_scene.png
rm -f "$png"
wine "$exe" "$frames" "Z:${png//\//\\}"
test -s "$png" || { echo "render_bench: no picture written" >&2; exit 1; }
python3 - "$exe" "$frames" "$png" <<'PY'
import statistics, subprocess, sys, time
exe, frames, png = sys.argv[1], sys.argv[2], sys.argv[3]
win_png = "Z:" + png.replace("/", "\\")
def runs(cmd, n=5):
    out = []
    for _ in range(n):
        t = time.perf_counter(); subprocess.run(cmd, check=True, capture_output=True); out.append(time.perf_counter() - t)
    return statistics.median(out)
bench = runs(["wine", exe, frames, win_png])
idle = runs(["wine", "cmd", "/c", "exit"])
print(f"whole process ({frames} frames): median {bench*1000:.0f} ms; wine start alone (cmd /c exit): {idle*1000:.0f} ms")
PY
echo "picture: $png"
