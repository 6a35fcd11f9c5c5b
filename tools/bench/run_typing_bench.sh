#!/usr/bin/env bash
# The text field's figures: the gallery's start-up phases (skin built with
# the rich edits' text services, first frame) and the typing latency, from
# an xdotool key press to changed text pixels in the path field, median over
# 100 characters.
# Usage: run_typing_bench.sh [build dir] [characters, default 100]
set -euo pipefail
. "$(dirname "$0")/bench_env.sh" "${1:-}"
cmake --build "$build" --target gallery -- -j2 >/dev/null
trap wine_env_stop EXIT
wine_env_start
WINEDEBUG=-all python3 "$root/tools/bench/typing_bench.py" --wine-run "$root/tools/wine-run.sh" \
  --gallery "$build/bin/gallery.exe" --chars "${2:-100}"
