# Menu helpers shared by the scripts that drive the game into a late stage: a system save with the
# first lap cleared, the title's cursor, and the pause menu's stage select. Source after lib.sh.

# The system save with the first lap cleared: words 0, 12345, 0 and three empty texts.
unlocked_save() {
  printf '\x00\x00\x00\x00\x39\x30\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$1"
}

# Menu keys are held for half a second: on a busy machine the game polls less often than the
# other tests assume, and a short press can fall between two polls (the menus act on presses,
# not on held keys, so a long press still counts once).
key() { press "$1" 0.5; sleep 0.3; }

select_stage() {  # select_stage N: pause, "stage select", the N-th stage
  key c
  key Up; key z
  for _ in $(seq 2 "$1"); do key Down; done
  key z
}

# The title ignores keys while it loads, which can take seconds on a busy machine: wait for its
# cursor, step to the wanted entry (0 for the first, at row 300; 20 pixels an entry) until the
# settled picture shows it there, then press Button1 until the play scene exists (its constructor
# writes the log).
enter_play() {  # enter_play ENTRY
  e2e_until 60 title_ready || return 1
  e2e_cursor_to $((300 + 20 * $1)) || return 1
  for _ in $(seq 10); do
    key z
    e2e_wait_log "$LOG_PLAY" 1 >/dev/null && return 0
  done
  return 1
}
