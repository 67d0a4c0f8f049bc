# Shared helpers of the end-to-end tests: an Xvfb of their own, the game in a scratch folder,
# key presses long enough for the once-a-frame poll to see them, screenshots and checks.
# Source it with the build folder as argument (default build/), then call e2e_start_x.

# The game speaks the player's language (LANG, LC_MESSAGES, LANGUAGE); the checks read its original
# texts (window captions, the log), so it runs under the C locale whatever the caller's is.
export LC_ALL=C.UTF-8
unset LANGUAGE LC_MESSAGES

E2E_PASSED=0
E2E_FAILED=0
E2E_SKIPPED=0
BUILD=$(cd "${1:-$REPO/build}" && pwd)
GAME="$BUILD/nimbulon"
trap e2e_finish EXIT

expect() {  # expect "description" command...
  CHECK_NAME=$1; shift
  if "$@"; then E2E_PASSED=$((E2E_PASSED + 1)); echo "  ok   $CHECK_NAME"; else E2E_FAILED=$((E2E_FAILED + 1)); echo "  FAIL $CHECK_NAME"; fi
}

# e2e_require NAME WHAT COMMAND...: true when the command finds the prerequisite NAME (the Debian
# package scripts/install-deps.sh installs it from); else a failure that names it, or a skip when
# the developer asked for one by name (NIMBULON_SKIP=NAME,...), and false: the caller leaves out
# what needs it.
e2e_require() {
  local name=$1 what=$2 list=${NIMBULON_SKIP:-}; shift 2
  "$@" >/dev/null 2>&1 && return 0
  if [[ ",${list// /}," == *",$name,"* ]]; then
    E2E_SKIPPED=$((E2E_SKIPPED + 1)); echo "  skip $what: NIMBULON_SKIP names $name"
  else
    E2E_FAILED=$((E2E_FAILED + 1)); echo "  FAIL missing prerequisite $name: $what"
  fi
  return 1
}

e2e_start_x() {  # e2e_start_x [WIDTHxHEIGHT]
  # Xvfb chooses a free display number itself and writes it to the pipe, so several test runs
  # (or a developer's own X server) never collide on a fixed number.
  local fifo
  fifo=$(mktemp -u /tmp/nimbulon-xvfb-XXXXXX)
  mkfifo "$fifo"
  # -noreset: an X server whose last client leaves resets itself and drops the connections that
  # arrive meanwhile; the checks here come and go (xdpyinfo, xdotool, import), and each of them
  # leaving would open such a window for the next one or for the game.
  # -r: no key auto-repeat. A key the scripts hold for a few tenths of a second stays down far
  # longer when the machine is busy, long enough for the server to repeat it: a Tab in the entry
  # dialog then moves on by two fields, and the typing lands in the wrong one.
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset -r 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number=""
  read -r -t 60 number <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "  Xvfb did not start"
    E2E_FAILED=$((E2E_FAILED + 1))
    exit 1
  fi
  export DISPLAY=":$number"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
}

# A scratch working folder with a copy of the game's data (effects, music); the game writes
# its log, saves and replays there. e2e_finish removes it, unless a check failed.
E2E_WORKDIRS=()
e2e_workdir() {
  WORK=$(mktemp -d /tmp/nimbulon-e2e-XXXXXX)
  E2E_WORKDIRS+=("$WORK")
  mkdir -p "$WORK/data"
  cp "$REPO"/data/*.wav "$REPO"/data/*.mid "$WORK/data/" 2>/dev/null || true
  SHOTS=${E2E_SHOTS:-$WORK/shots}
  mkdir -p "$SHOTS"
}

e2e_start_game() {
  (cd "$WORK" && exec "$GAME") >"$WORK/stdout.txt" 2>&1 &
  GAME_PID=$!
  for _ in $(seq 600); do  # up to a minute: a loaded machine starts the game slowly
    WIN=$(xdotool search --name '^Nimbulon$' 2>/dev/null | head -n1)
    [ -n "$WIN" ] && break
    sleep 0.1
  done
  if [ -n "$WIN" ]; then
    xdotool windowfocus --sync "$WIN" 2>/dev/null
  else
    # Say why, so a failure on a CI machine can be understood from its log alone.
    echo "  (no game window after a minute; the game is $(kill -0 "$GAME_PID" 2>/dev/null && echo running || echo gone))"
    tail -n 5 "$WORK/stdout.txt" "$WORK/data/log.txt" 2>/dev/null | sed 's/^/    /'
    # Where each of its threads waits, when gdb is at hand.
    command -v gdb >/dev/null && kill -0 "$GAME_PID" 2>/dev/null &&
      gdb -p "$GAME_PID" -batch -ex 'thread apply all bt 12' 2>/dev/null | grep -E '^(Thread|#)' | sed 's/^/    /'
  fi
  true
}

# Waits until the game's log has COUNT (default 1) lines matching the extended regular expression,
# for at most SECONDS (default 30): the scripts wait for a scene to have loaded instead of assuming
# how fast the machine is. False when they never came.
e2e_wait_log() {  # e2e_wait_log PATTERN [SECONDS] [COUNT]
  local tries=$(( ${2:-30} * 10 )) i
  for ((i = 0; i < tries; i++)); do
    [ "$(grep -cE "$1" "$WORK/data/log.txt" 2>/dev/null)" -ge "${3:-1}" ] && return 0
    sleep 0.1
  done
  echo "  (waited ${2:-30} s for a log line matching '$1')"
  return 1
}
# The log lines that say a scene has loaded: its pictures (resources 111 and 112 in hexadecimal).
LOG_CREDIT='ID= = 6f$'
LOG_TITLE='ID= = 70$'
LOG_PLAY='GameMain コンストラクタ'
# The first picture the title loads (its font, resource 107): the title has begun loading.
LOG_TITLE_BEGUN='ID= = 6b$'

# The game in a window of its own: Xvfb, a scratch folder, the game, and the check that its
# window opened.
e2e_open_game() {
  e2e_start_x
  e2e_workdir
  e2e_start_game
  expect "the window titled Nimbulon opens" test -n "$WIN"
}

# e2e_until SECONDS COMMAND...: true as soon as the command is (tried every 0.2 s), false when it
# never was within SECONDS. The scripts wait for what they are about to check, never for a time.
e2e_until() {
  local deadline=$((SECONDS + $1)); shift
  while :; do
    "$@" && return 0
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# The window row of the title menu's entry beside which the picture PNG (the window at 800 x 600 or
# a whole multiple) shows the yellow cursor arrow (300 for the first entry, 20 pixels an entry,
# down to 520; hidden entries keep their rows); nothing when no entry has it.
title_cursor_row() {  # title_cursor_row PNG
  convert "$1" -sample '800x600!' -crop 30x240+234+290 +repage -fx 'r>0.7 && g>0.5 && b<0.4' -scale '1x12!' txt:- 2>/dev/null |
    awk 'NR > 1 { split($0, f, /[,:( ]+/); if (f[3] + 0 > 1.5) { print 300 + 20 * f[2]; exit } }'
}

# The row the cursor stands at, from screenshots half a second apart until two agree: a loaded
# machine skips drawing frames, so one picture can show the cursor where it was a few frames
# before. Nothing when no cursor shows (the title is not there, or not yet drawn).
title_cursor() {
  local previous=x row
  for _ in $(seq 10); do
    shot title_probe
    row=$(title_cursor_row "$SHOTS/title_probe.png")
    [ -n "$row" ] && [ "$row" = "$previous" ] && { echo "$row"; return; }
    previous=$row
    sleep 0.5
  done
}

# The title has loaded and reads the keys: its menu shows the cursor. (The title clears the keys
# pressed while it loads, so a script presses nothing before this holds.)
title_ready() { shot title_probe && [ -n "$(title_cursor_row "$SHOTS/title_probe.png")" ]; }

# Skips the credit with KEY (default z) unless it is ending by itself already: the credit lasts two
# seconds, and a press that reached the title after it had loaded would choose its first entry. (A
# press sent before the title has loaded is dropped by the title with the keys of its loading.)
e2e_skip_credit() {  # e2e_skip_credit [KEY]
  grep -qE "$LOG_TITLE_BEGUN" "$WORK/data/log.txt" 2>/dev/null || press "${1:-z}"
}

# Past the credit to the title, once its menu shows.
e2e_to_title() {
  e2e_wait_log "$LOG_CREDIT"
  e2e_skip_credit
  e2e_wait_log "$LOG_TITLE" && e2e_until 30 title_ready
}

# e2e_cursor_to ROW: moves the title's cursor with Down and Up until the settled picture shows it
# at that window row; false when it never gets there.
e2e_cursor_to() {
  local row
  for _ in $(seq 20); do
    row=$(title_cursor)
    [ -n "$row" ] || continue
    [ "$row" -eq "$1" ] && return 0
    if [ "$row" -lt "$1" ]; then press Down; else press Up; fi
  done
  return 1
}

# Holds a key for a few frames so that the game's poll sees it down.
press() {
  xdotool keydown "$1"; sleep "${2:-0.15}"; xdotool keyup "$1"; sleep 0.1
}

# type_text TEXT: types TEXT into the focused window. For a character missing from the keymap
# xdotool binds a spare keycode only for the moment of its key press and then takes it back; a
# game that reads the press later (a busy machine) asks the server for the keymap after that and
# gets no character. Such characters are bound here first, for good, so the press always means
# the same character.
type_text() {
  local free i=0 code
  # The highest unused keycodes, as xdotool itself takes: the low ones (93, 97, ...) are the
  # keys of Japanese keyboards, which SDL reports as such.
  free=($(xmodmap -pke | awk 'NF == 3 && $1 == "keycode" && $2 > 200 {print $2}' | sort -rn))
  for code in $(printf '%s' "$1" | python3 -c 'import sys; print(" ".join(sorted({"%04X" % ord(c) for c in sys.stdin.read() if ord(c) > 126})))'); do
    xmodmap -e "keycode ${free[$i]} = U$code U$code"
    i=$((i + 1))
  done
  xdotool type --delay 60 "$1"
}

shot() {  # shot NAME -> $SHOTS/NAME.png: the game window's 800 x 600 picture
  import -window "${WIN:-root}" "$SHOTS/$1.png" 2>/dev/null
}

# Mean brightness (0..1) of a region WxH+X+Y of a screenshot.
region_mean() {
  convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null
}

# Standard deviation (0..1) of a region: 0 for a flat colour.
region_spread() {
  convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info: 2>/dev/null
}

# greater A B: whether the number A is above B. A reading that is not a number (a screenshot
# that was never taken, a tool's error message) is a failure, never a string comparison.
greater() {
  awk -v a="$1" -v b="$2" 'function num(x) { return x ~ /^[ \t]*[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?[ \t]*$/ }
    BEGIN { if (!num(a) || !num(b)) { printf "  (not a number: \"%s\" or \"%s\")\n", a, b; exit 1 } exit !(a + 0 > b + 0) }'
}

e2e_wait_exit() {  # e2e_wait_exit SECONDS -> GAME_STATUS
  local waited=0
  while kill -0 "$GAME_PID" 2>/dev/null && [ "$waited" -lt "$(( $1 * 10 ))" ]; do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 "$GAME_PID" 2>/dev/null; then kill -9 "$GAME_PID"; GAME_STATUS=timeout; else wait "$GAME_PID"; GAME_STATUS=$?; fi
}

# Stops a process this script started and waits until it has ended, so that nothing outlives the
# test (and the next Xvfb never meets a display that is still closing).
e2e_stop() {  # e2e_stop PID [SIGNAL]
  [ -n "$1" ] || return 0
  kill "-${2:-TERM}" "$1" 2>/dev/null || return 0
  wait "$1" 2>/dev/null
  # Not a child of this shell (wait returned at once): poll until it is gone.
  local i
  for ((i = 0; i < 100; i++)); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
  kill -9 "$1" 2>/dev/null
}

e2e_finish() {
  e2e_stop "${GAME_PID:-}" KILL
  e2e_stop "${XVFB_PID:-}"
  # A script that ended before its first check proved nothing.
  if [ $((E2E_PASSED + E2E_FAILED + E2E_SKIPPED)) -eq 0 ]; then
    echo "  FAIL no check ran"; E2E_FAILED=1
  fi
  local line="$E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_SKIPPED" -eq 0 ] || line+=", $E2E_SKIPPED skipped"
  echo "$line"
  # scripts/test.sh counts each suite's checks: a suite that ran none fails there too.
  [ -z "${NIMBULON_CHECKS:-}" ] || echo "$E2E_PASSED $E2E_FAILED $E2E_SKIPPED" >>"$NIMBULON_CHECKS"
  # The game's folders (its log, screenshots) are worth a look after a failure, and only then.
  if [ ${#E2E_WORKDIRS[@]} -gt 0 ]; then
    if [ "$E2E_FAILED" -eq 0 ]; then
      rm -rf "${E2E_WORKDIRS[@]}"
    else
      echo "  (the game's folders are kept: ${E2E_WORKDIRS[*]})"
    fi
  fi
  # This runs as the EXIT trap: only an explicit exit sets the script's status there, whatever
  # the script's own last command returned.
  [ "$E2E_FAILED" -eq 0 ] || exit 1
}
