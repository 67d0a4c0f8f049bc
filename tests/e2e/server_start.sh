# Sourced: start_nimbulon_server PROGRAM DB LOG [OPTIONS...] starts our ranking server on a free
# loopback port, in the background; sets SERVER_PID and URL (empty when it did not start).
start_nimbulon_server() {
  local program=$1 db=$2 log=$3; shift 3
  : >"$log"
  "$program" --listen 127.0.0.1:0 --db "$db" --create "$@" 2>>"$log" &
  SERVER_PID=$!
  local port=""
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  URL=""
  [ -n "$port" ] && URL="http://127.0.0.1:$port"
}
