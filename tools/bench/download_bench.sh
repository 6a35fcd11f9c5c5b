#!/usr/bin/env bash
# The segmented downloader against aria2c and curl, all in one run, from an
# nginx of its own on 127.0.0.1:
#   1. 64 MiB with "limit_rate 2m" per connection (the limit of the setup is
#      8 x 2 MiB/s = 16 MiB/s): the downloader (eight ranges, joined; time
#      from Start to the finished message, under Wine), aria2c -x8 -s8 -k1M,
#      and curl over one connection;
#   2. 256 MiB unthrottled: the downloader against aria2c;
#   3. joining eight part files of 256 MiB alone against cat.
# Figures are medians of RUNS runs (curl, at 2 MiB/s, runs once).
#
#   tools/bench/download_bench.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR holds bin/download_bench.exe (default build/i686); RUNS defaults
# to 3. Uses WINEPREFIX if set, else the project's test prefix, and stops its
# wineserver at the end, so run it on its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/i686}
runs=${2:-3}
bench_exe=$(readlink -f "$build/bin/download_bench.exe")
[ -f "$bench_exe" ] || { echo "download_bench.exe not found in $build/bin (build target download_bench)" >&2; exit 1; }
command -v aria2c >/dev/null || { echo "aria2c is missing" >&2; exit 1; }

export VARNO_ROOT=$root
. "$root/tools/wine-env.sh"
work=$(mktemp -d /tmp/varno-dl-bench.XXXXXX)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  wine_env_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

. "$root/installer/HttpClient/testing/http_servers.sh"
free_port() { _http_free_port; }
wait_port() { _http_wait_port "$1"; }
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

echo "writing the 64 and 256 MiB files..."
mkdir -p "$work/www" "$work/tmp" "$work/out" "$work/join"
python3 - "$work/www" <<'EOF'
import os, sys
sys.path.insert(0, os.path.join(os.environ["VARNO_ROOT"], "installer/HttpClient/testing"))
from make_tree import write_pattern_file
write_pattern_file(os.path.join(sys.argv[1], "file64.bin"), 64 << 20)
write_pattern_file(os.path.join(sys.argv[1], "file256.bin"), 256 << 20)
EOF

slow_port=$(free_port)
fast_port=$(free_port)
http_nginx_conf "$work" off "
  server {
    listen 127.0.0.1:$slow_port;
    root $work/www;
    limit_rate 2m;
  }
  server {
    listen 127.0.0.1:$fast_port;
    root $work/www;
  }"
nginx -e "$work/nginx-error.log" -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
wait_port "$slow_port" && wait_port "$fast_port" || { echo "nginx did not start" >&2; exit 1; }

wine_env_start
win_out="Z:${work//\//\\}\\out\\"
drop_cache() {
  find "$WINEPREFIX/drive_c/users" -path '*INetCache*' -name 'file*' -delete 2>/dev/null || true
}

# Runs the downloader once; prints its whole time (Start to finished).
ours() {  # url name size
  rm -f "$work/out/$2"
  local line
  line=$(wine "$bench_exe" download "$1" "$win_out" | tr -d '\r')
  drop_cache
  set -- "$@" $line
  [ "$4" = "result" ] && [ "$5" = "1" ] || { echo "downloader failed: $line" >&2; exit 1; }
  [ "$(stat -c %s "$work/out/$2")" = "$3" ] || { echo "downloader: wrong size" >&2; exit 1; }
  cmp -s "$work/out/$2" "$work/www/$2" || { echo "downloader: wrong bytes" >&2; exit 1; }
  echo "$7 ${11}"
}
aria() {  # url name size
  rm -f "$work/out/$2"
  local t0 t1
  t0=$(now)
  aria2c -q -x8 -s8 -k1M --allow-overwrite=true --auto-file-renaming=false --file-allocation=none \
    -d "$work/out" -o "$2" "$1"
  t1=$(now)
  [ "$(stat -c %s "$work/out/$2")" = "$3" ] || { echo "aria2c: wrong size" >&2; exit 1; }
  calc "$t1 - $t0"
}
one_curl() {  # url name size
  rm -f "$work/out/$2"
  local t0 t1
  t0=$(now)
  curl -s -o "$work/out/$2" "$1"
  t1=$(now)
  [ "$(stat -c %s "$work/out/$2")" = "$3" ] || { echo "curl: wrong size" >&2; exit 1; }
  calc "$t1 - $t0"
}

slow_url="http://127.0.0.1:$slow_port/file64.bin"
fast_url="http://127.0.0.1:$fast_port/file256.bin"
s64=$((64 << 20))
s256=$((256 << 20))
declare -A t
reports=""
for r in $(seq "$runs"); do
  res=$(ours "$slow_url" file64.bin "$s64")
  set -- $res
  t[ours64]+="$1 "
  reports+="$2 "
  t[aria64]+="$(aria "$slow_url" file64.bin "$s64") "
  res=$(ours "$fast_url" file256.bin "$s256")
  set -- $res
  t[ours256]+="$1 "
  t[aria256]+="$(aria "$fast_url" file256.bin "$s256") "
  echo "run $r done"
done
t[curl64]=$(one_curl "$slow_url" file64.bin "$s64")
rm -f "$work/out/"*

# Joining alone: eight part files as the downloader names them.
make_parts() {
  python3 - "$work/www/file256.bin" "$work/join/file256.bin" <<'EOF'
import sys
src, target = sys.argv[1], sys.argv[2]
size = 256 << 20
step = size // 8
with open(src, "rb") as f:
    for i in range(8):
        first = i * step
        last = size - 1 if i == 7 else first + step - 1
        with open("%s.%d-%d" % (target, first, last), "wb") as out:
            out.write(f.read(last - first + 1))
EOF
}
for r in $(seq "$runs"); do
  make_parts
  parts=$(ls "$work/join/"file256.bin.* | sort -t. -k3 -g)
  t0=$(now)
  cat $parts > "$work/join/cat.bin"
  t1=$(now)
  t[cat]+="$(calc "$t1 - $t0") "
  rm -f "$work/join/cat.bin"
  win_parts=()
  for p in $parts; do win_parts+=("Z:${p//\//\\}"); done
  line=$(wine "$bench_exe" join "Z:${work//\//\\}\\join\\file256.bin" "${win_parts[@]}" | tr -d '\r')
  set -- $line
  [ "$1" = "join" ] || { echo "join failed: $line" >&2; exit 1; }
  cmp -s "$work/join/file256.bin" "$work/www/file256.bin" || { echo "join: wrong bytes" >&2; exit 1; }
  t[join]+="$2 "
  rm -f "$work/join/"*
done

m() { echo "${t[$1]}" | median; }
limit=16  # MiB/s: 8 connections x 2 MiB/s
o64=$(m ours64); a64=$(m aria64); c64=${t[curl64]}
o256=$(m ours256); a256=$(m aria256)
j=$(m join); c=$(m cat)
printf '\nmedians of %s runs (curl once)\n' "$runs"
printf '%-34s %9s %9s %12s\n' "case" "seconds" "MiB/s" "vs aria2c"
printf '%-34s %9.3f %9.1f %12s\n' "64 MiB at 2 MiB/s/conn: downloader" "$o64" "$(calc "64 / $o64")" \
  "$(calc "$o64 / $a64")"
printf '%-34s %9.3f %9.1f %12s\n' "64 MiB at 2 MiB/s/conn: aria2c -x8" "$a64" "$(calc "64 / $a64")" 1.000
printf '%-34s %9.3f %9.1f %12s\n' "64 MiB at 2 MiB/s/conn: curl" "$c64" "$(calc "64 / $c64")" \
  "$(calc "$c64 / $a64")"
printf '%-34s %9.3f %9.1f %12s\n' "256 MiB unthrottled: downloader" "$o256" "$(calc "256 / $o256")" \
  "$(calc "$o256 / $a256")"
printf '%-34s %9.3f %9.1f %12s\n' "256 MiB unthrottled: aria2c -x8" "$a256" "$(calc "256 / $a256")" 1.000
printf '%-34s %9.3f %9.1f %12s\n' "join 8 parts of 256 MiB: ours" "$j" "$(calc "256 / $j")" "vs cat $(calc "$j / $c")"
printf '%-34s %9.3f %9.1f\n' "join 8 parts of 256 MiB: cat" "$c" "$(calc "256 / $c")"
printf '\nthrottled downloader: %s%% of the %s MiB/s limit; %s progress messages per run (medians: %s)\n' \
  "$(calc "64 / $o64 / $limit * 100")" "$limit" "$(echo "$reports" | median)" "$reports"
echo "(vs aria2c: time divided by aria2c's; 1.10 is 10 % slower)"
