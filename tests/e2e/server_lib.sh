# Helpers of the end-to-end tests of the ranking server that run several servers: each server on a
# free loopback port of its own, uploads through curl's multipart form (the server takes it as it
# takes the game's), the lists read with curl. Source after lib.sh; T is the scratch folder
# (server_scratch makes it, or the script does).
SERVER="$BUILD/server/nimbulon-server"
DIGEST=0123456789abcdef0123456789abcdef     # an MD5 digest as the game sends it
OTHER=ffffffffffffffffffffffffffffffff

# server_scratch TAG: makes the scratch folder T and sets server_cleanup to run at exit.
server_scratch() {
  T=$(mktemp -d "/tmp/nimbulon-$1-e2e-XXXXXX") || exit 1
  chmod 755 "$T"  # a PostgreSQL cluster's own user must reach its folder inside
  trap server_cleanup EXIT
}

# server_cleanup: ends every job the script started (servers, clients, haproxy), the PostgreSQL
# cluster in $T/pg if one was started, removes T and checks with e2e_finish that nothing is left.
# A script that must first undo something of its own (thaw a frozen process, end a process group)
# defines server_cleanup_first.
server_cleanup() {
  declare -F server_cleanup_first >/dev/null && server_cleanup_first
  local job
  for job in $(jobs -p); do kill -9 "$job" 2>/dev/null; done
  wait 2>/dev/null
  [ -d "$T/pg" ] && "$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
  rm -rf "$T"
  e2e_finish
}

# start_named NAME OPTIONS...: a server on a free loopback port whose log is $T/NAME.log; sets
# PID_NAME, URL_NAME and, with --metrics-listen, METRICS_NAME. False when it did not start listening.
# SERVER_WRAPPER, when set, is the command the server is started through (setsid). A database that
# does not exist yet is made (--create; NO_CREATE=1 leaves the option out).
start_named() {
  local name=$1; shift
  : >"$T/$name.log"
  local create=(--create)
  [ -n "${NO_CREATE:-}" ] && create=()
  ${SERVER_WRAPPER:-} "$SERVER" --listen 127.0.0.1:0 "${create[@]}" "$@" 2>>"$T/$name.log" &
  printf -v "PID_$name" '%s' $!
  local port="" metrics=""
  for _ in $(seq 300); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$T/$name.log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  metrics=$(sed -n 's/.*metrics on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$T/$name.log")
  printf -v "URL_$name" '%s' "http://127.0.0.1:$port"
  printf -v "METRICS_$name" '%s' "http://127.0.0.1:$metrics"
  [ -n "$port" ]
}

# stop_named NAME: SIGTERM, and waits for it.
stop_named() {
  local pid_var="PID_$1"
  [ -n "${!pid_var:-}" ] || return 0
  kill -TERM "${!pid_var}" 2>/dev/null
  wait "${!pid_var}" 2>/dev/null
  printf -v "PID_$1" '%s' ""
}

# upload_to URL NAME PASS REPLAY: prints the reply's first byte (nothing when the connection failed).
upload_to() {
  curl -s --max-time 120 -F "name=$2" -F "pass=$3" -F message=e2e -F "replay_file=@$4;filename=replay_file" \
    "$1/upload" | head -c1
}

# names_listed URL VERSION: the list's names, one a line, sorted.
names_listed() { curl -s --max-time 20 "$1/ranking?version=$2" | sed -n '/^username$/{n;p}' | sort; }

# eventually SECONDS COMMAND...: true once the command is, polling every 50 ms.
eventually() {
  local until=$(($(date +%s%N) + $1 * 1000000000)); shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$until" ] || return 1
    sleep 0.05
  done
}

# The honest plays of the loopback tests.
record_plays() {
  mkdir -p "$T/plays"
  "$BUILD/server/nimbulon-record-plays" "$T/plays" 40 >/dev/null
}
