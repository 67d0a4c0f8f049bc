#!/usr/bin/env bash
# List requests per second through Debian's haproxy with one, two and three ranking servers on
# one throwaway PostgreSQL database, next to the same list as a static file served by Debian's
# nginx-light and to one server without a balancer, all in one run; then how long a play stored
# through one server takes to reach another server's list (PostgreSQL notifications). Figures
# printed, nothing asserted.
#   tools/bench/cluster_bench.sh [BUILD_DIR] [--players N] [--seconds S]
# Each figure is wrk with 2 threads and 64 connections, kept alive ("keep-alive") and with a new
# connection per request as the game makes them ("new conn.", Connection: close): requests per
# second, then the CPU time the serving processes spent per request (all three servers count in
# every haproxy line; the ones not behind it idle).
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD="$REPO/build"
PLAYERS=60; SECONDS_=10
while [ $# -gt 0 ]; do
  case $1 in
    --players) PLAYERS=$2; shift ;;
    --seconds) SECONDS_=$2; shift ;;
    *) BUILD=$(cd "$1" && pwd) ;;
  esac
  shift
done
for tool in wrk haproxy nginx; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/install-deps.sh)"; exit 2; }
done
T=$(mktemp -d /tmp/nimbulon-cluster-bench-XXXXXX)
chmod 755 "$T"
expect() { shift; "$@"; }  # server_lib.sh's helpers report through it in the tests
cleanup() {
  local job
  for job in $(jobs -p); do kill -TERM "$job" 2>/dev/null; done
  wait 2>/dev/null
  "$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
  rm -rf "$T"
}
trap cleanup EXIT
. "$REPO/tests/e2e/server_lib.sh"
. "$REPO/tests/e2e/haproxy_lib.sh"
[ -x "$SERVER" ] || { echo "build nimbulon-server first (scripts/build.sh Release)"; exit 2; }
mkdir -p "$T/plays"
# A play of its own for each player (a play belongs to the first name storing it), ten more for
# the notification delays.
"$BUILD/server/nimbulon-record-plays" "$T/plays" $((PLAYERS + 10)) >/dev/null
DB=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg") || exit 1
PORTS=("$(free_port)" "$(free_port)" "$(free_port)")
# Every client here is one loopback address (wrk's 64 connections, haproxy's to the servers):
# the per-address bound, which is there against floods, is lifted.
for n in 1 2 3; do
  start_named "s$n" --db "$DB" --listen "127.0.0.1:${PORTS[$n - 1]}" --quiet --connections-per-address 4096 \
    || { cat "$T/s$n.log"; exit 1; }
done

# The list: PLAYERS honest plays, 16 uploads at a time.
uploads=()
for i in $(seq 1 "$PLAYERS"); do
  (upload_to "$URL_s1" "p$i" "$DIGEST" "$T/plays/many/$i.rep" >/dev/null) &
  uploads+=($!)
  if [ ${#uploads[@]} = 16 ]; then wait "${uploads[@]}"; uploads=(); fi
done
[ ${#uploads[@]} = 0 ] || wait "${uploads[@]}"
PATH_=/ranking?version=106
curl -s "$URL_s1$PATH_" >"$T/list.txt"
echo "nimbulon-server behind haproxy on $(nproc) processors: a list of $(grep -c '^rank$' "$T/list.txt") entries," \
  "$(wc -c <"$T/list.txt") bytes; wrk 2 threads, 64 connections, ${SECONDS_} s each"

# nginx-light serving the same bytes as a file.
mkdir -p "$T/www"
cp "$T/list.txt" "$T/www/ranking"
NGINX_PORT=$(free_port)
cat >"$T/nginx.conf" <<CONF
worker_processes 2;
pid $T/nginx.pid;
error_log $T/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:$NGINX_PORT;
    root $T/www;
    location / { default_type text/plain; }
  }
}
CONF
nginx -c "$T/nginx.conf" -g 'daemon off;' &
NGINX_MASTER=$!

cpu_ticks() {  # cpu_ticks PID...: user + system clock ticks of the processes, their ended threads included
  local pid sum=0
  for pid in "$@"; do
    sum=$((sum + $(sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }')))
  done
  echo "$sum"
}
wrk_run() {  # wrk_run URL PIDS [wrk options]: "RATE/s, N µs" (the CPU time per request) for the processes PIDS
  local url=$1 pids=$2 before out; shift 2
  before=$(cpu_ticks $pids)
  out=$(wrk -t2 -c64 -d"${SECONDS_}s" "$@" "$url" 2>&1)
  awk -v ticks=$(($(cpu_ticks $pids) - before)) -v hz="$(getconf CLK_TCK)" '
    /requests in/ { n = $1 } /Requests\/sec/ { rate = $2 } /Non-2xx/ { bad = " (" $0 ")" }
    END { printf "%s/s%s, %.1f µs", rate, bad, n ? ticks * 1e6 / hz / n : 0 }' <<<"$out"
}
# measure LABEL URL PIDS: one line, kept-alive and new-connection figures, each with the CPU time
# the serving processes (PIDS: nginx's, or haproxy's and the servers') spent per request, which
# other programs on the machine sway far less than the rate.
measure() {
  printf '  %-26s %26s keep-alive  %26s new conn.\n' "$1" "$(wrk_run "$2" "$3")" \
    "$(wrk_run "$2" "$3" -H 'Connection: close')"
}
sleep 0.5
measure "nginx-light, static file" "http://127.0.0.1:$NGINX_PORT/ranking" "$NGINX_MASTER $(pgrep -P "$NGINX_MASTER" | paste -sd' ')"
measure "one server, no balancer" "$URL_s1$PATH_" "$PID_s1"
for servers in 1 2 3; do
  FRONT=$(free_port)
  mkdir -p "$T/lb$servers"
  start_haproxy "$T/lb$servers" "$FRONT" "${PORTS[@]:0:$servers}" || exit 1
  measure "haproxy + $servers server(s)" "http://127.0.0.1:$FRONT$PATH_" "$HAPROXY_PID $PID_s1 $PID_s2 $PID_s3"
  stop_haproxy
done
# The game makes a new connection per request, the first of its client connection: with haproxy's
# default (http-reuse safe) each goes to the server on a new connection too; "always" lets it take
# an idle one (the server keeps no state between requests).
FRONT=$(free_port)
mkdir -p "$T/lb-reuse"
HAPROXY_REUSE=always start_haproxy "$T/lb-reuse" "$FRONT" "${PORTS[@]}" || exit 1
measure "haproxy + 3, reuse always" "http://127.0.0.1:$FRONT$PATH_" "$HAPROXY_PID $PID_s1 $PID_s2 $PID_s3"
stop_haproxy

# From a play's reply on server 1 to its first appearance on server 2's list, which is read in
# a loop (its cache would otherwise keep the list for a second).
python3 - "$URL_s1" "$URL_s2" "$T/plays/many" "$PLAYERS" "$DIGEST" <<'PY'
import sys, time, urllib.request, uuid
one, two, plays, first, digest = sys.argv[1:]
def upload(name, data):
    b = uuid.uuid4().hex
    parts = []
    for k, v in (('name', name), ('pass', digest), ('message', 'lag')):
        parts.append(f'--{b}\r\nContent-Disposition: form-data; name="{k}"\r\n\r\n{v}\r\n'.encode())
    parts.append(f'--{b}\r\nContent-Disposition: form-data; name="replay_file"; filename="replay_file"\r\n'
                 'Content-Type: application/octet-stream\r\n\r\n'.encode() + data + b'\r\n')
    parts.append(f'--{b}--\r\n'.encode())
    req = urllib.request.Request(one + '/upload', b''.join(parts),
                                 {'Content-Type': f'multipart/form-data; boundary={b}'})
    return urllib.request.urlopen(req).read()[:1]
lags = []
for i in range(10):
    urllib.request.urlopen(two + '/ranking?version=106').read()  # cached on server 2 now
    name = f'lag{i}'
    assert upload(name, open(f'{plays}/{int(first) + i + 1}.rep', 'rb').read()) == b'0'
    t0 = time.monotonic()
    while f'\n{name}\n'.encode() not in urllib.request.urlopen(two + '/ranking?version=106').read():
        if time.monotonic() - t0 > 5: break
    lags.append((time.monotonic() - t0) * 1000)
lags.sort()
print(f'  a stored play on another server\'s list: median {lags[len(lags)//2]:.1f} ms, worst {lags[-1]:.1f} ms (10 plays)')
PY
