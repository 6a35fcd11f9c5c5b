#!/usr/bin/env bash
# Builds and runs the task-posting benchmark under Wine (i686 build).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export VARNO_ROOT=$root
cmake --build "$root/build/i686" --target task_bench >/dev/null
. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start
wine "$root/build/i686/bin/task_bench.exe"
