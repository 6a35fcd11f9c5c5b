#!/usr/bin/env bash
# Runs a libFuzzer target for a fixed time on a scratch copy of its seed
# corpus; libFuzzer exits non-zero on any crash, leak, timeout or sanitizer
# report, and so does this script.
set -euo pipefail
fuzzer=$1 corpus=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
if [ -d "$corpus" ]; then cp -r "$corpus"/. "$work/corpus/"; fi
cd "$work"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  "$work/corpus" 2>&1 | tail -n 12
exit "${PIPESTATUS[0]}"
