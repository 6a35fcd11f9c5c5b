#!/usr/bin/env bash
# One dropped connection in a 64 MiB download at 2 MiB/s per connection,
# from the scripted peer on 127.0.0.1: the downloader without the fault,
# with it (the part heals by itself), and aria2c -x8 -s8 under the same
# fault. Prints seconds and the bytes the server sent, so the bytes
# fetched again show as the excess over 64 MiB.
#
#   tools/bench/heal_bench.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/i686}
bench_exe=$(readlink -f "$build/bin/download_bench.exe")
[ -f "$bench_exe" ] || { echo "download_bench.exe not found in $build/bin" >&2; exit 1; }
export VARNO_ROOT=$root
. "$root/tools/wine-env.sh"
work=$(mktemp -d /tmp/varno-heal-bench.XXXXXX)
peer_pid=
cleanup() {
  [ -n "$peer_pid" ] && { kill "$peer_pid" 2>/dev/null || true; wait "$peer_pid" 2>/dev/null || true; }
  wine_env_stop
  rm -rf "$work"
}
trap cleanup EXIT
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

python3 "$root/installer/HttpClient/testing/peer.py" --port-file "$work/port" &
peer_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
wine_env_start
mkdir -p "$work/out"
win_out="Z:${work//\//\\}\\out\\"
size=$((64 << 20))
third=$((3 * (size / 8)))
now() { date +%s.%N; }
sent() { curl -s "http://127.0.0.1:$port/rangelog/$1" | awk '/^sent/ {print $2}'; }
url() { echo "http://127.0.0.1:$port/ranges/$size?ms=31&chunk=65536&log=$1$2"; }

run_ours() {  # name extra
  rm -f "$work/out/$size"
  local t0 t1 line
  t0=$(now)
  line=$(wine "$bench_exe" download "$(url "$1" "$2")" "$win_out" | tr -d '\r')
  t1=$(now)
  case "$line" in *"result 1"*) ;; *) echo "downloader failed: $line" >&2; exit 1 ;; esac
  [ "$(stat -c %s "$work/out/$size")" = "$size" ] || { echo "wrong size" >&2; exit 1; }
  printf '%-40s %8.2f s %10d bytes sent\n' "$3" "$(echo "$t1 - $t0" | bc)" "$(sent "$1")"
}
run_aria() {  # name extra
  rm -f "$work/out/a.bin"
  local t0 t1
  t0=$(now)
  aria2c -q -x8 -s8 -k1M --allow-overwrite=true --auto-file-renaming=false --file-allocation=none \
    -d "$work/out" -o a.bin "$(url "$1" "$2")" || true
  t1=$(now)
  printf '%-40s %8.2f s %10d bytes sent (size %s)\n' "$3" "$(echo "$t1 - $t0" | bc)" "$(sent "$1")" \
    "$(stat -c %s "$work/out/a.bin" 2>/dev/null || echo none)"
}
echo "64 MiB = $size bytes, 8 x 2 MiB/s"
run_ours clean "" "downloader, no fault"
run_ours healed "&drop_at=$third" "downloader, one connection dropped"
run_aria aria "&drop_at=$third" "aria2c -x8 -s8, one connection dropped"
