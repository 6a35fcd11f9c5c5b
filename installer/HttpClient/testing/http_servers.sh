# Sourced by the HTTP test and benchmark scripts: starts nginx and the
# scripted peer on 127.0.0.1 for one run and stops them again.
#
#   http_servers_start WORKDIR [BIG_MIB]   # BIG_MIB: also serve big.bin
#   ... VARNO_HTTP_PORT, VARNO_PEER_PORT, ... are exported ...
#   http_servers_stop
#
# nginx serves the generated tree over plain HTTP on a free port, over TLS on
# 443 (the port that makes the clients speak TLS) and on a free port with the
# same CA-signed certificate, and with an untrusted and an expired
# certificate on two more free ports. Port 443 exists once per machine, so
# runs that use it queue on a lock file. Each server also ends by itself
# after VARNO_SERVER_LIFETIME seconds (1800), so a wrapper killed before its
# EXIT trap ran leaves nothing listening for good.

VARNO_HTTP_TESTING_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
VARNO_HTTP_LOCK=${VARNO_HTTP_LOCK:-/tmp/varno-http-tls443.lock}
VARNO_SERVER_LIFETIME=${VARNO_SERVER_LIFETIME:-1800}

_http_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# Windows path of a Unix path as Wine's Z: drive shows it.
_http_wine_path() {
  local p
  p=$(readlink -f "$1")
  echo "Z:${p//\//\\}"
}

_http_wait_port() {  # port: waits up to 10 s for a listener
  local i
  for i in $(seq 100); do
    if python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1",int(sys.argv[1])),0.2).close()' "$1" \
        2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Writes WORK/nginx.conf: one process in the foreground, as the invoking user
# (nothing to clean up but the process the caller starts), temp files under
# WORK/tmp, and the given server blocks. ACCESS_LOG may be "off".
http_nginx_conf() {  # work access_log servers
  local work=$1 access_log=$2 servers=$3
  cat > "$work/nginx.conf" <<EOF
master_process off;
daemon off;
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections 512; }
http {
  access_log $access_log;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  keepalive_timeout 10;$servers
}
EOF
}

_http_write_nginx_conf() {
  local work=$1
  local tls_server=""
  local entry port cert key
  for entry in "443 server" "$VARNO_TLS_ALT_PORT server" "$VARNO_TLS_SELF_PORT self" \
              "$VARNO_TLS_EXPIRED_PORT expired"; do
    port=${entry% *}
    cert=$work/certs/${entry#* }.pem
    key=$work/certs/${entry#* }.key
    tls_server+="
  server {
    listen 127.0.0.1:$port ssl;
    ssl_certificate $cert;
    ssl_certificate_key $key;
    root $work/www;
  }"
  done
  http_nginx_conf "$work" "$work/nginx-access.log" "
  server {
    listen 127.0.0.1:$VARNO_HTTP_PORT;
    root $work/www;
  }$tls_server"
}

http_servers_start() {
  local work=$1 big_mib=${2:-0}
  VARNO_HTTP_WORK=$work
  mkdir -p "$work/tmp"
  exec {VARNO_HTTP_LOCK_FD}>"$VARNO_HTTP_LOCK"
  if ! flock -w 900 "$VARNO_HTTP_LOCK_FD"; then
    echo "http_servers: port 443 stayed busy (lock $VARNO_HTTP_LOCK)" >&2
    return 1
  fi
  "$VARNO_HTTP_TESTING_DIR/make_certs.sh" "$work/certs" || return 1
  python3 "$VARNO_HTTP_TESTING_DIR/make_tree.py" "$work/www" --big-mib "$big_mib" || return 1

  local attempt
  for attempt in 1 2 3; do
    export VARNO_HTTP_PORT=$(_http_free_port)
    export VARNO_TLS_ALT_PORT=$(_http_free_port)
    export VARNO_TLS_SELF_PORT=$(_http_free_port)
    export VARNO_TLS_EXPIRED_PORT=$(_http_free_port)
    _http_write_nginx_conf "$work"
    # timeout passes a TERM on to nginx, and ends it once the lifetime is up.
    timeout -k 10 "$VARNO_SERVER_LIFETIME" nginx -e "$work/nginx-error.log" -p "$work" -c "$work/nginx.conf" &
    VARNO_NGINX_PID=$!
    if _http_wait_port "$VARNO_HTTP_PORT" && _http_wait_port 443 && _http_wait_port "$VARNO_TLS_EXPIRED_PORT" \
        && kill -0 "$VARNO_NGINX_PID" 2>/dev/null; then
      break
    fi
    kill "$VARNO_NGINX_PID" 2>/dev/null
    wait "$VARNO_NGINX_PID" 2>/dev/null
    VARNO_NGINX_PID=
    echo "http_servers: nginx did not start (attempt $attempt):" >&2
    tail -n 3 "$work/nginx-error.log" >&2
  done
  [ -n "$VARNO_NGINX_PID" ] || return 1
  export VARNO_HTTPS_PORT=443

  python3 "$VARNO_HTTP_TESTING_DIR/peer.py" --port-file "$work/peer.port" --lifetime "$VARNO_SERVER_LIFETIME" &
  VARNO_PEER_PID=$!
  local i
  for i in $(seq 100); do [ -s "$work/peer.port" ] && break; sleep 0.1; done
  if [ ! -s "$work/peer.port" ]; then
    echo "http_servers: the peer did not start" >&2
    return 1
  fi
  export VARNO_PEER_PORT=$(cat "$work/peer.port")
  export VARNO_TEST_CA=$(_http_wine_path "$work/certs/ca.der")
  export VARNO_TEST_ROOT=$work/www
  export VARNO_NGINX_ACCESS_LOG=$(_http_wine_path "$work/nginx-access.log")
  return 0
}

http_servers_stop() {
  local pid
  for pid in ${VARNO_PEER_PID:-} ${VARNO_NGINX_PID:-}; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  VARNO_PEER_PID= VARNO_NGINX_PID=
  if [ -n "${VARNO_HTTP_LOCK_FD:-}" ]; then
    exec {VARNO_HTTP_LOCK_FD}>&-
    VARNO_HTTP_LOCK_FD=
  fi
  if [ -n "${VARNO_HTTP_WORK:-}" ] && [ -z "${VARNO_KEEP_HTTP_WORK:-}" ]; then
    rm -rf "$VARNO_HTTP_WORK"
  fi
  return 0
}
