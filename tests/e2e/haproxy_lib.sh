# A Debian haproxy in front of several ranking servers on loopback, for the cluster test and the
# benchmark. Its own error pages answer 2 (the game's "could not be processed"): the game takes
# any reply that does not start with 1 or 2 for success, so an HTML error page would tell a player
# that an upload the balancer could not deliver was stored.

# free_port: a loopback port nothing listens on now.
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# start_haproxy DIR FRONT_PORT BACKEND_PORT...: haproxy in the foreground (its pid in HAPROXY_PID),
# health-checking each server's /healthz five times a second. HAPROXY_REUSE: its http-reuse mode.
start_haproxy() {
  local dir=$1 front=$2; shift 2
  local code reason
  for code in 502:Bad_Gateway 503:Service_Unavailable 504:Gateway_Timeout; do
    reason=${code#*:}
    printf 'HTTP/1.0 %s %s\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: close\r\n\r\n2\n' \
      "${code%%:*}" "${reason//_/ }" >"$dir/${code%%:*}.http"
  done
  {
    printf 'global\n  maxconn 4096\n'
    printf 'defaults\n  mode http\n  timeout connect 2s\n  timeout client 120s\n  timeout server 120s\n'
    printf '  retries 2\n  option redispatch\n'
    for code in 502 503 504; do printf '  errorfile %s %s/%s.http\n' "$code" "$dir" "$code"; done
    printf 'frontend players\n  bind 127.0.0.1:%s\n  default_backend servers\n' "$front"
    printf 'backend servers\n  balance roundrobin\n  option httpchk GET /healthz\n  http-check expect status 200\n'
    # Which idle server connections a request may take (haproxy's default: safe, the first request
    # of a client connection gets one of its own).
    printf '  http-reuse %s\n' "${HAPROXY_REUSE:-safe}"
    printf '  default-server inter 200ms fall 2 rise 1\n'
    local i=1 port
    for port in "$@"; do printf '  server s%d 127.0.0.1:%s check\n' "$i" "$port"; i=$((i + 1)); done
  } >"$dir/haproxy.cfg"
  haproxy -db -f "$dir/haproxy.cfg" >"$dir/haproxy.log" 2>&1 &
  HAPROXY_PID=$!
  local _
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$front/healthz" && return 0
    sleep 0.1
  done
  cat "$dir/haproxy.log" >&2
  return 1
}

# stop_haproxy: ends the haproxy start_haproxy started.
stop_haproxy() {
  [ -n "${HAPROXY_PID:-}" ] || return 0
  kill -TERM "$HAPROXY_PID" 2>/dev/null
  wait "$HAPROXY_PID" 2>/dev/null
  HAPROXY_PID=""
}
