#!/usr/bin/env bash
# Builds, lays out and paints a tree of about 200 controls (tree_bench) and
# prints the medians of build, full layout, full paint and one-leaf
# relayout, the controls measured again, and the heap allocations of a
# layout pass over an unchanged tree.
# Usage: run_tree_bench.sh [build dir, default build/i686] [rounds, default 200]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/i686}
rounds=${2:-200}
export VARNO_ROOT=$root
cmake --build "$build" --target tree_bench -- -j2 >/dev/null
. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start
resources="Z:${root//\//\\}\\resources\\"
wine "$build/bin/tree_bench.exe" "$resources" "$rounds"
