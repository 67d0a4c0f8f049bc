#!/usr/bin/env bash
# Replays written by hand (tools/replay/write_replay.py): in the second laps of both versions
# (modes 3 and 5) the pause menu's stage select jumps to stage 2, 3, 4 or 5, then fixed inputs play
# on.
# nimbulon-replay of the given (Release) build and of a Debug build made here must report the
# same events line for line and the same result; the events show each stage's spawns on their
# frames and points and the bosses of the mode's version; one run per version lives through
# stage 3 to its pair of bosses.
# Usage: stage_replays_build.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build}" && pwd)
DEBUG_BUILD=${REPLAY_DEBUG_BUILD:-$REPO/build-replay-debug}
. "$REPO/tests/e2e/lib.sh"
WORK=$(mktemp -d /tmp/nimbulon-stage-replays-XXXXXX)
trap 'rm -rf "$WORK"; e2e_finish' EXIT
WRITE="/usr/bin/python3 $REPO/tools/replay/write_replay.py"

echo "building the Debug replay tool in $DEBUG_BUILD"
# The build's own status: a tool left over from an earlier build must not stand in for this one.
debug_built=1
cmake -S "$REPO" -B "$DEBUG_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
  cmake --build "$DEBUG_BUILD" --target nimbulon-replay -j2 >"$WORK/debug-build.txt" 2>&1 || debug_built=0
[ "$debug_built" = 1 ] || tail -n 20 "$WORK/debug-build.txt"
expect "the Debug build of nimbulon-replay builds" test "$debug_built" = 1 -a -x "$DEBUG_BUILD/tools/nimbulon-replay"

# Pause, "stage select" (up from the first entry), then the stage's entry; one frame with
# nothing held after each press.
select_stage() {
  local runs="30*- 1*C 1*- 1*U 1*- 1*Z 1*-" i
  for ((i = 1; i < $1; i++)); do runs="$runs 1*D 1*-"; done
  echo "$runs 1*Z 1*-"
}
# Fire while weaving, then pause and "return to title" (if the ship is still there by then).
PLAY="$(for _ in $(seq 12); do printf '60*ZR 60*ZL 40*ZU 40*ZD '; done)20*- 1*C 5*- 1*D 5*- 1*Z 5*-"

# The first line whose fields contain all the given "key":value pairs.
event() {
  local file=$1; shift
  local pattern=""
  for kv in "$@"; do pattern="$pattern$kv.*"; done
  grep -m1 -E "${pattern%.*}" "$file"
}
frame_of() { grep -o '"frame":[0-9]*' | head -n1 | cut -d: -f2; }
frame_of_all() { grep -o '"frame":[0-9]*' | cut -d: -f2; }

# Stage 3 played through to its pair of bosses: dodging runs found for each version (the
# bosses differ from the current version's on), firing all the time.
SURVIVE_3="472*Z 8*LZ 104*Z 8*LZ 88*Z 8*LZ 192*Z 8*DZ 24*Z 8*LZ 56*Z 8*LZ 64*Z 8*LZ 32*Z 8*UZ 8*LZ 16*Z 8*UZ \
120*Z 8*LUZ 224*Z 8*RZ 336*Z 8*RZ 112*Z 8*RZ 24*Z 8*DLZ 16*Z"
SURVIVE_5="472*Z 8*LZ 104*Z 8*LZ 88*Z 8*LZ 192*Z 8*DZ 24*Z 8*LZ 56*Z 8*LZ 64*Z 8*LZ 32*Z 8*UZ 8*LZ 16*Z 8*UZ \
120*Z 8*LUZ 224*Z 8*RZ 416*Z 8*LZ 88*Z"
QUIT="1*C 5*- 1*D 5*- 1*Z 5*-"

for mode in 3 5; do
  for stage in 2 3 boss3 4 5; do
    name="mode${mode}_stage${stage}"
    rep="$WORK/$name.rep"
    # Written once to learn the result, then again with it, so that the file verifies.
    runs="$(select_stage "${stage#boss}") $PLAY"
    [ "$stage" = boss3 ] && { survive="SURVIVE_$mode"; runs="$(select_stage 3) ${!survive} $QUIT"; }
    $WRITE "$rep" "$mode" $runs
    result=$("$BUILD/tools/nimbulon-replay" verify "$rep" 2>&1 | awk '/^replayed/ {print $7, $9, $11, $13}')
    $WRITE "$rep" "$mode" $runs --result $result
    "$BUILD/tools/nimbulon-replay" verify "$rep" --events >"$WORK/$name.release.jsonl" 2>"$WORK/$name.release.txt"
    release=$?
    "$DEBUG_BUILD/tools/nimbulon-replay" verify "$rep" --events >"$WORK/$name.debug.jsonl" 2>"$WORK/$name.debug.txt"
    debug=$?
    ev="$WORK/$name.release.jsonl"
    expect "$name: the Release tool reproduces the play ($result)" test "$release" = 0
    expect "$name: the Debug tool reproduces the play" test "$debug" = 0
    expect "$name: both builds report the same events" cmp -s "$ev" "$WORK/$name.debug.jsonl"
    expect "$name: the play ends" grep -q '"event":"play_ended"' "$ev"

    b=""; [ "$mode" = 5 ] && b=b
    first=$(event "$ev" "\"stage\":${stage#boss}" '"enemy_spawned"' | frame_of)
    if [ "$stage" = 2 ]; then
      # Four fighters from stage frame 60, the boss and 52 empty portals on frame 90.
      expect "$name: stage 2 opens with a fighter at (30, 30)" \
        test -n "$(event "$ev" '"stage":2' "\"class\":\"CharacterEnemyBorn\\(CharacterEnemy1$b\\)\"" '"x":30,"y":30')"
      boss=$(event "$ev" '"stage":2' "\"class\":\"CharacterEnemyBoss2$b\"" '"kind":7,"x":240,"y":200' | frame_of)
      expect "$name: CharacterEnemyBoss2$b comes 30 frames after the first fighter" test "$((boss - first))" = 30
      portals=$(grep -c "\"frame\":$boss,\"stage\":2,\"event\":\"enemy_spawned\",\"class\":\"CharacterEnemyBorn\",\"kind\":6" "$ev")
      expect "$name: 52 empty portals in the boss's frame ($portals)" test "$portals" = 52
    elif [ "$stage" = boss3 ]; then
      expect "$name: the ship lives through the stage" test -z "$(grep '"ship_hit"' "$ev")"
      pair=$(grep "\"stage\":3,\"event\":\"enemy_spawned\",\"class\":\"CharacterEnemyBoss3$b\",\"kind\":7,\"x\":240,\"y\":220" "$ev")
      expect "$name: two CharacterEnemyBoss3$b in one frame" test "$(echo "$pair" | frame_of_all | uniq | wc -l)-$(echo "$pair" | wc -l)" = "1-2"
      boss=$(echo "$pair" | frame_of)
      expect "$name: the pair comes 1490 frames after the first creature" test "$((boss - first))" = 1490
      portals=$(grep -c "\"frame\":$((boss + 2)),\"stage\":3,\"event\":\"enemy_spawned\",\"class\":\"CharacterEnemyBorn\",\"kind\":6" "$ev")
      expect "$name: 15 of the 16 entrance portals two frames later ($portals)" test "$portals" = 15
    elif [ "$stage" = 4 ]; then
      # Jellies and pots enter above the top edge and sink (the ship is gone before Boss 4).
      expect "$name: stage 4 opens with a jelly at (240, -60)" \
        test -n "$(event "$ev" '"stage":4' "\"class\":\"CharacterEnemyJelly$b\"" '"x":240,"y":-60')"
      pots=$(event "$ev" '"stage":4' "\"class\":\"CharacterEnemyPot$b\"" '"x":100,"y":-60' | frame_of)
      expect "$name: the first pot comes 120 frames after the first jelly" test "$((pots - first))" = 120
    elif [ "$stage" = 5 ]; then
      # The final boss alone, 60 frames into the stage (old) or 180; the stage select shows in
      # the events as the clearing of stage 1, on the frame before stage 5's first.
      start=$(( $(event "$ev" '"stage_cleared"' | frame_of) + 1 ))
      boss=$(event "$ev" '"stage":5' "\"class\":\"CharacterEnemyMaster$b\"" '"kind":7,"x":240,"y":200' | frame_of)
      delay=60; [ "$mode" = 5 ] && delay=180
      expect "$name: CharacterEnemyMaster$b comes $delay frames into the stage" test "$((boss - start))" = "$delay"
      expect "$name: and alone" test "$(grep -c '"stage":5,"event":"enemy_spawned"' "$ev")" = 1
    else
      expect "$name: stage 3 opens with a sea creature at (320, 170)" \
        test -n "$(event "$ev" '"stage":3' "\"class\":\"CharacterEnemyBorn\\(CharacterEnemyUmi$b\\)\"" '"x":320,"y":170')"
      pots=$(event "$ev" '"stage":3' "\"class\":\"CharacterEnemyPot$b\"" '"x":180,"y":60' | frame_of)
      expect "$name: the first pots come 130 frames after the first creature" test "$((pots - first))" = 130
    fi
  done
done
