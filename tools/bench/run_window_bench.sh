#!/usr/bin/env bash
# The window host's figures: start to first frame of the gallery (a 640 x 360
# layered window built from markup, with a few dozen controls) against a bare
# program that only presents one bitmap in a layered window, medians of
# alternating runs; the area and time of the repaint when the pointer moves
# onto the 24 x 24 button; the gallery's working set after start and after a
# minute of hovering and scrolling.
# Usage: run_window_bench.sh [build dir] [runs, default 9] [soak seconds, default 60]
set -euo pipefail
. "$(dirname "$0")/bench_env.sh" "${1:-}"
cmake --build "$build" --target gallery bare_window -- -j2 >/dev/null
trap wine_env_stop EXIT
wine_env_start
python3 "$root/tools/bench/window_bench.py" --wine-run "$root/tools/wine-run.sh" \
  --gallery "$build/bin/gallery.exe" --bare "$build/bin/bare_window.exe" \
  --runs "${2:-9}" --soak "${3:-60}"
