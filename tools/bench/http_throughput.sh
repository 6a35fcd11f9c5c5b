#!/usr/bin/env bash
# Throughput of each HTTP client's FetchToFile (socket, WinINet, WinHTTP)
# for one big file from nginx on 127.0.0.1, against curl fetching the same
# file in the same run. Each figure is the median of several runs of a
# whole process (wine start-up included for the clients; curl's own start
# for curl), plus the median of the clients' in-process FetchToFile time.
#
#   tools/bench/http_throughput.sh [BUILD_DIR] [RUNS] [MIB]
#
# BUILD_DIR holds bin/http_bench.exe (default build/i686), RUNS defaults to
# 5, MIB to 256. Uses WINEPREFIX if set, else the project's test prefix;
# it stops that prefix's wineserver at the end, so run it on its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/i686}
runs=${2:-5}
mib=${3:-256}
bench_exe=$(readlink -f "$build/bin/http_bench.exe")
[ -f "$bench_exe" ] || { echo "http_bench.exe not found in $build/bin (build target http_bench)" >&2; exit 1; }

export VARNO_ROOT=$root
. "$root/tools/wine-env.sh"
. "$root/installer/HttpClient/testing/http_servers.sh"
work=$(mktemp -d /tmp/varno-http-bench.XXXXXX)
out=$work/out
mkdir -p "$out"
cleanup() {
  http_servers_stop
  wine_env_stop
  rm -rf "$work"
}
trap cleanup EXIT
wine_env_start
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
echo "preparing a ${mib} MiB file and the servers..."
http_servers_start "$work/srv" "$mib"
url="http://127.0.0.1:$VARNO_HTTP_PORT/big.bin"
size=$((mib << 20))
win_out="Z:${out//\//\\}\\big.bin"

# WinINet keeps a copy of what it downloads in the prefix's cache; drop
# this benchmark's copies so that runs neither pile up nor hit the cache.
drop_cache() {
  find "$WINEPREFIX/drive_c/users" -path '*INetCache*' -name 'big*' -delete 2>/dev/null || true
}

now() { date +%s.%N; }
# Arithmetic on decimals without bc, which a fresh machine may lack.
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
declare -A whole inproc
for r in $(seq "$runs"); do
  rm -f "$out/big.bin"
  t0=$(now)
  curl -s -o "$out/big.bin" "$url"
  t1=$(now)
  [ "$(stat -c %s "$out/big.bin")" = "$size" ] || { echo "curl: wrong size" >&2; exit 1; }
  whole[curl]+="$(calc "$t1 - $t0") "
  for client in socket wininet winhttp; do
    rm -f "$out/big.bin"
    t0=$(now)
    line=$(wine "$bench_exe" "$client" "$url" "$win_out" | tr -d '\r')
    t1=$(now)
    drop_cache
    set -- $line
    [ "${2:-0}" = "$size" ] || { echo "$client: wrong size (${line})" >&2; exit 1; }
    whole[$client]+="$(calc "$t1 - $t0") "
    inproc[$client]+="$3 "
  done
  echo "run $r done"
done

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
curl_s=$(echo "${whole[curl]}" | median)
printf '\n%s MiB over loopback, median of %s runs\n' "$mib" "$runs"
printf '%-8s %12s %10s %14s %14s\n' client "process s" "MiB/s" "ratio to curl" "FetchToFile s"
printf '%-8s %12.3f %10.1f %14s %14s\n' curl "$curl_s" "$(calc "$mib / $curl_s")" 1.00 -
for client in socket wininet winhttp; do
  s=$(echo "${whole[$client]}" | median)
  f=$(echo "${inproc[$client]}" | median)
  printf '%-8s %12.3f %10.1f %14.2f %14.3f\n' "$client" "$s" "$(calc "$mib / $s")" \
    "$(calc "$curl_s / $s")" "$f"
done
echo "(ratio to curl: curl's time divided by the client's; 1.00 is as fast as curl)"
