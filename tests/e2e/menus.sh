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

# Whether the title's yellow cursor arrow stands at the entry drawn at window row Y.
cursor_at() {
  shot title
  greater "$(convert "$SHOTS/title.png" -crop "20x20+234+$(($1 - 10))" +repage \
    -fx 'r>0.7 && g>0.5 && b<0.4' -format '%[fx:mean]' info: 2>/dev/null)" 0.01
}

# The title entry (0 for the first, at row 300; 20 pixels an entry) the cursor stands at, read
# twice half a second apart until both readings agree: a loaded machine skips drawing frames, so
# one picture can show the cursor where it was a few frames ago. Empty when no entry has it.
cursor_entry() {
  local previous=x entry k
  for _ in $(seq 10); do
    entry=""
    for k in $(seq 0 7); do cursor_at $((300 + 20 * k)) && { entry=$k; break; }; done
    [ -n "$entry" ] && [ "$entry" = "$previous" ] && { echo "$entry"; return; }
    previous=$entry
    sleep 0.5
  done
}

# The title ignores keys while it loads, which can take seconds on a busy machine: wait for its
# cursor on the first entry, step to the wanted entry with Down and Up until the settled picture
# shows it there, then press Button1 until the play scene exists (its constructor writes the log).
enter_play() {  # enter_play ENTRY
  local entry
  for _ in $(seq 30); do cursor_at 300 && break; sleep 1; done
  for _ in $(seq 20); do
    entry=$(cursor_entry)
    [ -z "$entry" ] && continue
    [ "$entry" -eq "$1" ] && break
    if [ "$entry" -lt "$1" ]; then press Down; else press Up; fi
  done
  for _ in $(seq 10); do
    key z
    sleep 1
    grep -q 'GameMain コンストラクタ' "$WORK/data/log.txt" 2>/dev/null && return 0
  done
  return 1
}
