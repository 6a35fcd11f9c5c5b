# Sourced by tools/run.sh and the demo's tests: the servers the demo
# installer (built with -DVARNO_PRODUCT_DIR=tools/demo/product) talks to, on
# the fixed ports its product.ini names.
#
#   demo_servers_start WORKDIR INSTALLER_EXE   # returns 1 with a message on failure
#   demo_servers_trust TOOL_EXE                 # under Wine: trust the demo CA
#   demo_servers_untrust TOOL_EXE
#   demo_servers_stop                          # saves the collector's records first
#   (the caller traps EXIT to demo_servers_stop; the servers also end by themselves)
#
# nginx serves INSTALLER_EXE with VARNO_DEMO_MIB MiB (48; up to 120) of
# random padding appended at https://127.0.0.1:18443/download/varno/
# varno-win-{x86,x64,arm64}_setup.exe, each connection limited so that an
# 8-range download takes about VARNO_DEMO_DOWNLOAD_SECONDS (10). The
# collector (installer/utils/testing/collector.py) records analytics and
# reports on http://127.0.0.1:18480. Both end by themselves after
# VARNO_SERVER_LIFETIME seconds (1800). Afterwards WORKDIR holds
#   access.log              one line per request, see the log_format below
#   collector-records.json  what the collector received (written on stop)
# and is kept unless VARNO_DEMO_REMOVE_WORK is set. Exported:
# VARNO_DEMO_TLS_PORT, VARNO_DEMO_COLLECTOR_PORT, VARNO_DEMO_WORK,
# VARNO_DEMO_SERVED (the served file), VARNO_DEMO_CA (its CA, a Wine path).

VARNO_DEMO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$VARNO_DEMO_DIR/../../installer/HttpClient/testing/http_servers.sh"
export VARNO_DEMO_TLS_PORT=18443 VARNO_DEMO_COLLECTOR_PORT=18480
VARNO_DEMO_LOCK=${VARNO_DEMO_LOCK:-/tmp/varno-demo-servers.lock}

_demo_port_taken() {
  python3 -c 'import socket,sys
s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
try: s.bind(("127.0.0.1", int(sys.argv[1])))
except OSError: sys.exit(0)
sys.exit(1)' "$1"
}

demo_servers_start() {
  local work=$1 installer=$2
  local mib=${VARNO_DEMO_MIB:-48} seconds=${VARNO_DEMO_DOWNLOAD_SECONDS:-10}
  if ! [ "$mib" -ge 1 ] 2>/dev/null || [ "$mib" -gt 120 ]; then
    echo "demo_servers: VARNO_DEMO_MIB must be 1..120, not '$mib'" >&2; return 1
  fi
  if ! [ -f "$installer" ]; then echo "demo_servers: no installer at '$installer'" >&2; return 1; fi
  # Two demo runs queue for the fixed ports; anything else holding them is refused.
  exec {VARNO_DEMO_LOCK_FD}>"$VARNO_DEMO_LOCK"
  if ! flock -w 600 "$VARNO_DEMO_LOCK_FD"; then
    echo "demo_servers: another demo run kept the servers for 10 minutes (lock $VARNO_DEMO_LOCK)" >&2
    return 1
  fi
  local port
  for port in $VARNO_DEMO_TLS_PORT $VARNO_DEMO_COLLECTOR_PORT; do
    if _demo_port_taken "$port"; then
      echo "demo_servers: port $port on 127.0.0.1 is taken by another program; the demo's product.ini" \
           "names it, so stop that program (ss -ltnp 'sport = :$port')" >&2
      demo_servers_stop; return 1
    fi
  done
  VARNO_DEMO_WORK=$work
  export VARNO_DEMO_WORK
  mkdir -p "$work/tmp" "$work/www/download/varno"
  "$VARNO_HTTP_TESTING_DIR/make_certs.sh" "$work/certs" || { demo_servers_stop; return 1; }
  # Incompressible padding past the end of the image: Windows never maps it,
  # so the served file is the installer, only as big as a real one.
  VARNO_DEMO_SERVED=$work/www/download/varno/varno-win-x64_setup.exe
  export VARNO_DEMO_SERVED
  { cat "$installer"; head -c "$((mib * 1048576))" /dev/urandom; } >"$VARNO_DEMO_SERVED"
  ln -f "$VARNO_DEMO_SERVED" "$work/www/download/varno/varno-win-x86_setup.exe"
  ln -f "$VARNO_DEMO_SERVED" "$work/www/download/varno/varno-win-arm64_setup.exe"
  local size rate
  size=$(stat -c %s "$VARNO_DEMO_SERVED")
  rate=$(( size / 8 / seconds + 1 ))
  http_nginx_conf "$work" off "
  log_format demo '\$remote_addr [\$time_iso8601] \"\$request\" \$status \$body_bytes_sent range=\"\$http_range\" conn=\$connection rt=\$request_time end=\$msec';
  server {
    listen 127.0.0.1:$VARNO_DEMO_TLS_PORT ssl;
    ssl_certificate $work/certs/server.pem;
    ssl_certificate_key $work/certs/server.key;
    access_log $work/access.log demo;
    root $work/www;
    limit_rate $rate;
  }"
  timeout -k 10 "$VARNO_SERVER_LIFETIME" nginx -e "$work/nginx-error.log" -p "$work" -c "$work/nginx.conf" &
  VARNO_DEMO_NGINX_PID=$!
  python3 "$VARNO_DEMO_DIR/../../installer/utils/testing/collector.py" --port "$VARNO_DEMO_COLLECTOR_PORT" \
    --port-file "$work/collector.port" --lifetime "$VARNO_SERVER_LIFETIME" &
  VARNO_DEMO_COLLECTOR_PID=$!
  if ! _http_wait_port "$VARNO_DEMO_TLS_PORT" || ! kill -0 "$VARNO_DEMO_NGINX_PID" 2>/dev/null; then
    echo "demo_servers: nginx did not start:" >&2; tail -n 3 "$work/nginx-error.log" >&2
    demo_servers_stop; return 1
  fi
  local i
  for i in $(seq 100); do [ -s "$work/collector.port" ] && break; sleep 0.1; done
  if ! [ -s "$work/collector.port" ]; then
    echo "demo_servers: the collector did not start" >&2; demo_servers_stop; return 1
  fi
  VARNO_DEMO_CA=$(_http_wine_path "$work/certs/ca.der")
  export VARNO_DEMO_CA
  echo "demo_servers: serving $((size / 1048576)) MiB at https://127.0.0.1:$VARNO_DEMO_TLS_PORT/download/varno/" \
       "($rate bytes/s per connection), collector on http://127.0.0.1:$VARNO_DEMO_COLLECTOR_PORT"
  return 0
}

demo_servers_trust() {
  wine "$1" trust "$VARNO_DEMO_CA" || { echo "demo_servers: cannot trust $VARNO_DEMO_CA in $WINEPREFIX" >&2; return 1; }
}

demo_servers_untrust() {
  wine "$1" untrust || true
}

demo_servers_stop() {
  if [ -n "${VARNO_DEMO_COLLECTOR_PID:-}" ] && [ -n "${VARNO_DEMO_WORK:-}" ]; then
    python3 -c 'import sys,urllib.request
sys.stdout.buffer.write(urllib.request.urlopen("http://127.0.0.1:%s/_records" % sys.argv[1], timeout=5).read())' \
      "$VARNO_DEMO_COLLECTOR_PORT" >"$VARNO_DEMO_WORK/collector-records.json" 2>/dev/null || true
  fi
  local pid
  for pid in ${VARNO_DEMO_COLLECTOR_PID:-} ${VARNO_DEMO_NGINX_PID:-}; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  VARNO_DEMO_COLLECTOR_PID= VARNO_DEMO_NGINX_PID=
  if [ -n "${VARNO_DEMO_LOCK_FD:-}" ]; then
    exec {VARNO_DEMO_LOCK_FD}>&-
    VARNO_DEMO_LOCK_FD=
  fi
  if [ -n "${VARNO_DEMO_REMOVE_WORK:-}" ] && [ -n "${VARNO_DEMO_WORK:-}" ]; then rm -rf "$VARNO_DEMO_WORK"; fi
  return 0
}
