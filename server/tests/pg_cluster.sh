#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the server's tests and benchmark, in a folder of its own, run
# by an unprivileged user (the server's tests run as root in CI; PostgreSQL refuses root), on a
# free loopback port.
#   pg_cluster.sh start DIR   prints the postgresql:// URL; exit 3 when PostgreSQL is not installed
#   pg_cluster.sh stop DIR    stops it and removes DIR
set -u
cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: pg_cluster.sh start|stop DIR" >&2; exit 2; }
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "PostgreSQL is not installed (Debian package postgresql)" >&2
  exit 3
fi
as_owner() {
  # From /, which every user can enter: started from a folder the cluster's user cannot reach (a
  # clone under /root), PostgreSQL's tools warn on stderr, and the caller reads that as the URL.
  if [ "$(id -u)" = 0 ]; then (cd / && runuser -u nobody -- "$@"); else "$@"; fi
}
case $cmd in
start)
  mkdir -p "$dir" || exit 1
  [ "$(id -u)" = 0 ] && chown nobody "$dir"
  as_owner "$bin/initdb" -D "$dir/data" -A trust -U nimbulon -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  echo "postgresql://nimbulon@127.0.0.1:$port/postgres"
  ;;
stop)
  [ -d "$dir/data" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1
  rm -rf "$dir"
  ;;
*) echo "usage: pg_cluster.sh start|stop DIR" >&2; exit 2 ;;
esac
