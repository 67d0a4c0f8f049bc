#!/usr/bin/env bash
# Load benchmark of the ranking server (figures printed; nothing is asserted):
#   - list requests per second and latency percentiles, with wrk on keep-alive connections, for a
#     list of PLAYERS entries, and the same for the front page (/, made from the same cached lists;
#     also revalidated by its ETag), the JSON list, a play's page and a replay;
#   - the pages and the JSON in gzip and brotli as sent (made once with each page), beside nginx
#     serving the same bytes as files with gzip on (level 6, compressing at every request): requests
#     per second and bytes per page;
#   - uploads per second with re-simulation and password hashing, UPLOADS players at once.
# Usage: tools/bench/server_bench.sh [BUILD_DIR] [--postgres] [--players N] [--uploads N] [--seconds S]
# The server logs every request to a file meanwhile, as it would in service.
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD="$REPO/build"
POSTGRES=0; PLAYERS=50; UPLOADS=16; SECONDS_=10
while [ $# -gt 0 ]; do
  case $1 in
    --postgres) POSTGRES=1 ;;
    --players) PLAYERS=$2; shift ;;
    --uploads) UPLOADS=$2; shift ;;
    --seconds) SECONDS_=$2; shift ;;
    *) BUILD=$(cd "$1" && pwd) ;;
  esac
  shift
done
SERVER="$BUILD/server/nimbulon-server"
[ -x "$SERVER" ] || { echo "build nimbulon-server first (scripts/build.sh Release)"; exit 2; }
command -v wrk >/dev/null || { echo "wrk is not installed (Debian package wrk)"; exit 2; }
T=$(mktemp -d /tmp/nimbulon-server-bench-XXXXXX)
chmod 755 "$T"
PID=""
cleanup() {
  [ -n "$PID" ] && kill -TERM "$PID" 2>/dev/null && wait "$PID" 2>/dev/null
  [ -n "${NGINX_PID:-}" ] && kill -TERM "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
  [ "$POSTGRES" = 1 ] && "$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
  rm -rf "$T"
}
trap cleanup EXIT

DB="$T/bench.sqlite"
if [ "$POSTGRES" = 1 ]; then
  DB=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg") || exit 1
fi
# wrk's 64 connections come from one loopback address: the per-address bound against floods is lifted.
"$SERVER" --listen 127.0.0.1:0 --db "$DB" --create --connections-per-address 4096 2>"$T/server.log" &
PID=$!
for _ in $(seq 100); do
  PORT=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$T/server.log"); [ -n "$PORT" ] && break; sleep 0.1
done
URL="http://127.0.0.1:$PORT"
mkdir -p "$T/plays"
# One play has one owner: every player uploads a play of their own (short plays of mode 4).
total=$((UPLOADS > PLAYERS ? UPLOADS : PLAYERS))
"$BUILD/server/nimbulon-record-plays" "$T/plays" "$total" >/dev/null
frames=$(for i in $(seq 1 "$UPLOADS"); do od -An -t d4 -j 50 -N4 "$T/plays/many/$i.rep"; done | awk '{ s += $1 } END { printf "%d", s / NR }')

upload() {  # upload NAME N -> prints the reply (N: which play)
  curl -s -F "name=$1" -F pass=0123456789abcdef0123456789abcdef -F message=bench \
    -F "replay_file=@$T/plays/many/$2.rep;filename=replay_file" "$URL/upload" | head -c1
}

echo "nimbulon-server benchmark on $(nproc) processors, database: $([ "$POSTGRES" = 1 ] && echo PostgreSQL || echo SQLite)"
echo
start=$(date +%s.%N)
jobs_=()
for i in $(seq 1 "$UPLOADS"); do (upload "u$i" "$i" >"$T/up-$i") & jobs_+=($!); done
wait "${jobs_[@]}"
end=$(date +%s.%N)
ok=$(cat "$T"/up-* | tr -cd 0 | wc -c)
awk -v n="$UPLOADS" -v ok="$ok" -v s="$start" -v e="$end" -v f="$frames" 'BEGIN {
  t = e - s
  printf "uploads:  %d at once, %d stored, %.2f s: %.1f uploads/s (each re-simulates %d frames on average and hashes a password)\n", n, ok, t, n / t, f }'

# Fill the list up to PLAYERS entries for the list benchmark.
extra=$((PLAYERS - UPLOADS))
if [ "$extra" -gt 0 ]; then
  jobs_=()
  for i in $(seq 1 "$extra"); do
    (upload "l$i" $((UPLOADS + i)) >/dev/null) &
    jobs_+=($!)
    if [ $((i % 16)) = 0 ]; then wait "${jobs_[@]}"; jobs_=(); fi
  done
  [ ${#jobs_[@]} = 0 ] || wait "${jobs_[@]}"
fi
entries=$(curl -s "$URL/ranking?version=106" | grep -c '^rank$')
bytes=$(curl -s "$URL/ranking?version=106" | wc -c)
echo "list:     $entries entries, $bytes bytes"
# rate LABEL PATH [HEADER]: requests per second and latency of one address under the same load.
rate() {
  local label=$1 path=$2; shift 2
  local bytes
  bytes=$(curl -s "$@" "$URL$path" | wc -c)
  wrk -t2 -c64 -d"${SECONDS_}s" --latency "$@" "$URL$path" >"$T/wrk.txt" 2>&1
  awk -v label="$label" -v bytes="$bytes" '/Requests\/sec/ { rps = $2 } /^ +50%/ { p50 = $2 } /^ +99%/ { p99 = $2 }
       /Non-2xx|Socket errors/ { print label ": " $0 }
       END { printf "%-28s %s requests/s, p50 %s  p99 %s (%s bytes each)\n", label ":", rps, p50, p99, bytes }' "$T/wrk.txt"
}
echo "(wrk, 2 threads, 64 connections, $SECONDS_ s each)"
rate list "/ranking?version=106"
# The front page is made from the same cached lists as the game's list, and kept until they change.
rate "page /" "/"
etag=$(curl -s -D - -o /dev/null "$URL/" | tr -d '\r' | sed -n 's/^ETag: //p')
rate "page 304" "/" -H "If-None-Match: $etag"
rate "json" "/api/ranking?version=106"
rate "play" "/play/1"
rate replay "/replay?id=1"

# Compressed: the same pages as the server sends them to a browser that asks, then nginx with gzip
# on over the same bytes as files (what a proxy in front of an uncompressing server would cost).
echo
echo "compressed (the server's forms are made once with each page; nginx gzips at every request):"
for coding in gzip br; do
  for p in "/" "/mode/4" "/api/ranking?version=106"; do
    rate "$coding ${p%%\?*}" "$p" -H "Accept-Encoding: $coding"
  done
done
if command -v nginx >/dev/null; then
  mkdir -p "$T/www/mode" "$T/www/api"
  curl -s "$URL/" >"$T/www/index.html"
  curl -s "$URL/mode/4" >"$T/www/mode/4.html"
  curl -s "$URL/api/ranking?version=106" >"$T/www/api/ranking.json"
  NGINX_PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >"$T/nginx.conf" <<CONF
worker_processes 2;
pid $T/nginx.pid;
error_log $T/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  keepalive_requests 1000000;
  types { text/html html; application/json json; }
  gzip on; gzip_comp_level 6; gzip_min_length 200; gzip_types application/json;
  server { listen 127.0.0.1:$NGINX_PORT; root $T/www; }
}
CONF
  nginx -c "$T/nginx.conf" -g 'daemon off;' 2>/dev/null &
  NGINX_PID=$!
  sleep 0.5
  URL_SERVER=$URL
  URL="http://127.0.0.1:$NGINX_PORT"
  for p in /index.html /mode/4.html /api/ranking.json; do
    rate "nginx gzip ${p}" "$p" -H "Accept-Encoding: gzip"
    rate "nginx plain ${p}" "$p"
  done
  URL=$URL_SERVER
else
  echo "(nginx is not installed: no figures beside it)"
fi
echo "log:      $(wc -l <"$T/server.log") lines written meanwhile"
