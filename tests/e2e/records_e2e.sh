#!/usr/bin/env bash
# Records in a real window under Xvfb: a play of a few seconds left through the pause menu comes
# back to the title with "new recored!" and the high score and leaves its last and best play; the
# records of the first lap show them; the best play is watched (its caption on the bottom line),
# paused with Z (the picture stands still, the caption says so) and resumed, fast-forwarded with
# X, left with C, and the records page is back.
# Usage: records_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

# How many log lines match so far: a check for an action counts the lines that come after it.
log_count() { grep -a -c -E "$1" "$WORK/data/log.txt" 2>/dev/null || true; }

e2e_open_game
e2e_to_title
shot title_before
press z          # "play 1st lap"
e2e_wait_log "$LOG_PLAY"
sleep 0.5
# Fire and sweep the field so that some items are collected.
xdotool keydown z
for _ in 1 2 3 4; do
  xdotool keydown Left; sleep 1.5; xdotool keyup Left
  xdotool keydown Right; sleep 1.5; xdotool keyup Right
done
xdotool keyup z
sleep 0.3
press c          # pause
sleep 0.3
press Down       # "return to title"
press z
e2e_wait_log "$LOG_TITLE" 30 2
sleep 1.0
shot title_after

# The two lines at playfield (100, 200) and (100, 220): empty before, written after.
rows_before=$(region_spread "$SHOTS/title_before.png" 300x36+250+190)
rows_after=$(region_spread "$SHOTS/title_after.png" 300x36+250+190)
expect "the play was saved as the last play" test -s "$WORK/data/lastplay_1lap_b.rep"
expect "and as the best play" test -s "$WORK/data/bestplay_1lap_b.rep"
expect "the title shows the high score and \"new recored!\"" greater "$rows_after" "$(awk -v a="$rows_before" 'BEGIN{print a+0.03}')"

press Down       # "score (1st lap)"
press z
e2e_wait_log 'ランキング(の読み出しに失敗|ファイル読み込み)'
sleep 1.0
shot records
expect "the records scene shows its page" greater "$(region_spread "$SHOTS/records.png" 480x400+160+70)" 0.05

press Down       # "last play"
press Down       # "best play"
# The records page itself has already read both plays: only what is logged after Z counts.
reads_before=$(log_count 'スコアファイル読み込み')
replays_before=$(log_count '入力のリプレイを開始')
# The first play's scene ends after the records page has opened (later on a busy machine); the
# replay's end is the next one.
e2e_wait_log 'GameMain デストラクタ' 30 1
ends_before=$(log_count 'GameMain デストラクタ')
press z
expect "the play scene replays" e2e_wait_log '入力のリプレイを開始' 30 $((replays_before + 1))
sleep 1.5
shot replay
# Every play file read since Z is the best play (the last play sits one entry above it).
best_play_read() {
  local reads
  reads=$(grep -a 'スコアファイル読み込み' "$WORK/data/log.txt" | tail -n +$((reads_before + 1)))
  [ -n "$reads" ] && ! grep -qv 'ファイル名：./data/bestplay_1lap_b.rep$' <<<"$reads"
}
expect "the replay started from the best-play file" best_play_read
# Both scenes share the background picture; the page's texts give way to the ship, the status line
# and the replay notice.
expect "the replay shows the play, not the records" \
  greater "$(compare -metric AE "$SHOTS/records.png" "$SHOTS/replay.png" null: 2>&1 | cut -d' ' -f1)" 5000
expect "the replay caption shows on the bottom line, under the gauge" \
  greater "$(region_spread "$SHOTS/replay.png" 480x16+160+584)" 0.05
press z          # pause the replay
sleep 1.0
shot paused1
sleep 1.0
shot paused2
field_moved=$(compare -metric AE -fuzz 5% -crop 480x540+160+0 "$SHOTS/paused1.png" "$SHOTS/paused2.png" null: 2>&1 | cut -d' ' -f1)
expect "a paused replay stands still ($field_moved pixels moved)" test "${field_moved%.*}" -lt 50
caption_changed=$(compare -metric AE -fuzz 5% -crop 480x16+160+584 "$SHOTS/replay.png" "$SHOTS/paused1.png" null: 2>&1 | cut -d' ' -f1)
expect "its caption says it is paused ($caption_changed pixels changed)" greater "$caption_changed" 30
press z          # and on again
sleep 1.0
shot resumed
field_moved=$(compare -metric AE -fuzz 5% -crop 480x540+160+0 "$SHOTS/paused2.png" "$SHOTS/resumed.png" null: 2>&1 | cut -d' ' -f1)
expect "Z again resumes it ($field_moved pixels moved)" greater "$field_moved" 50
xdotool keydown x
sleep 1.5
shot fast
xdotool keyup x
press c          # leave the replay
expect "the replay was left" e2e_wait_log 'GameMain デストラクタ' 30 $((ends_before + 1))
sleep 1.0
shot records_again
# The same page again: the records pictures before and after the replay agree almost everywhere
# (the cursor sits on "best play" now, and animates).
diff=$(compare -metric AE -fuzz 10% "$SHOTS/records.png" "$SHOTS/records_again.png" null: 2>&1 | cut -d' ' -f1)
expect "back on the records page ($diff pixels differ)" test "${diff%.*}" -lt 8000

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
