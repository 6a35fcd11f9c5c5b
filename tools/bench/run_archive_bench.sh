#!/usr/bin/env bash
# Times mounting the resource archive and reading every member once: the
# process's own figure, and the whole process (Wine start included) over ten
# runs, against a process that does nothing (the same Wine start).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export VARNO_ROOT=$root
cmake --build "$root/build/i686" --target archive_bench task_bench >/dev/null
. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start
exe=$root/build/i686/bin/archive_bench.exe
wine "$exe"
python3 - "$exe" <<'PY'
import statistics, subprocess, sys, time
def runs(cmd):
    out = []
    for _ in range(10):
        t = time.perf_counter(); subprocess.run(cmd, check=True, capture_output=True); out.append(time.perf_counter() - t)
    return statistics.median(out)
bench = runs(["wine", sys.argv[1]])
idle = runs(["wine", "cmd", "/c", "exit"])
print(f"whole process: median {bench*1000:.1f} ms; wine start alone (cmd /c exit): {idle*1000:.1f} ms")
PY
