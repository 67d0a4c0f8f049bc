#!/usr/bin/env bash
# Hand-written replays of stages 4 and 5: replay files made here button by button (the pause
# menu's stage select, then a ship that fires a while and then waits to be shot down), verified
# with nimbulon-replay --events on the given (Release) build and on a Debug build made here. The
# two event streams must be identical, the spawns (the final boss among them) must come on their
# frames in the classes of their version, and each play must end by itself.
# Usage: late_stages_replay.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build}" && pwd)
DEBUG_BUILD=${REPLAY_DEBUG_BUILD:-$REPO/build-replay-debug}
. "$REPO/tests/e2e/lib.sh"
WORK=$(mktemp -d /tmp/nimbulon-late-replay-XXXXXX)
trap 'rm -rf "$WORK"; e2e_finish' EXIT

echo "building the Debug replay tool in $DEBUG_BUILD"
cmake -S "$REPO" -B "$DEBUG_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
  cmake --build "$DEBUG_BUILD" --target nimbulon-replay -j2 >"$WORK/debug-build.txt" 2>&1
expect "the Debug build of nimbulon-replay builds" test -x "$DEBUG_BUILD/tools/nimbulon-replay"

# write_replay FILE MODE STAGE FIRE_FRAMES [SCORE STAGES LIVES FRAMES]: the second lap's pause
# menu jumps to STAGE (one frame per press, one frame released between), then the ship fires
# while weaving for FIRE_FRAMES frames, then holds nothing until the play ends. The header holds
# the given result (zeros when none is given yet).
write_replay() {
  python3 - "$@" <<'PY'
import struct, sys
path, mode, stage, fire = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
score, stages, lives, frames = (int(v) for v in (sys.argv[5:9] if len(sys.argv) > 5 else (0, 1, 0, 0)))
RIGHT, DOWN, LEFT, UP, B1, B2, B3 = (1 << i for i in range(7))
held = [0] * 30                                     # the loading frame and a moment of calm
for b in [B3, UP, B1] + [DOWN] * (stage - 1) + [B1]:
    held += [b, 0, 0, 0]
held += [B1 | (RIGHT if (f // 60) % 2 else LEFT) for f in range(fire)]
held += [0] * 20                                    # then nothing: the trace ends, the ship waits
runs = []
for b in held:
    if runs and runs[-1][1] == b and runs[-1][0] < 0xFFFF:
        runs[-1][0] += 1
    else:
        runs.append([1, b])
version = {3: 105, 5: 107}[mode]
out = b"NimbulonScoreFile\0" + struct.pack("<i", 32)
out += struct.pack("<8i", version, mode, score, stages, lives, 1, 0, frames)
out += struct.pack("<ii", 240 << 16, 500 << 16) * stages
out += struct.pack("<i", len(runs)) + b"".join(struct.pack("<HH", n, b) for n, b in runs)
out += struct.pack("<i", 0) * (stages - 1)
open(path, "wb").write(out)
PY
}

# check_case NAME MODE STAGE FIRE_FRAMES FRAME:CLASS...: each FRAME:CLASS is a spawn expected on
# that frame of the chosen stage (the stage begins the frame after the menu's stage change, which
# the events report as a stage clear).
check_case() {
  local name=$1 mode=$2 stage=$3 fire=$4 f=$WORK/$1.rep
  shift 4
  write_replay "$f" "$mode" "$stage" "$fire"
  "$BUILD/tools/nimbulon-replay" verify "$f" --events >"$WORK/$name.first.jsonl" 2>"$WORK/$name.first.txt"
  # The file gets the result its own play reaches, as a recorded play would carry.
  read -r score stages lives frames < <(sed -n 's/^replayed .*score \([0-9-]*\)  stages \([0-9]*\)  lives \([0-9-]*\)  frames \([0-9]*\).*/\1 \2 \3 \4/p' "$WORK/$name.first.txt")
  write_replay "$f" "$mode" "$stage" "$fire" "$score" "$stages" "$lives" "$frames"
  "$BUILD/tools/nimbulon-replay" verify "$f" --events >"$WORK/$name.release.jsonl" 2>"$WORK/$name.release.txt"
  local release=$?
  "$DEBUG_BUILD/tools/nimbulon-replay" verify "$f" --events >"$WORK/$name.debug.jsonl" 2>"$WORK/$name.debug.txt"
  local debug=$?
  local events=$WORK/$name.release.jsonl
  expect "$name: the Release build replays it to its result" test "$release" = 0
  expect "$name: so does the Debug build" test "$debug" = 0
  expect "$name: both builds give the same $(wc -l <"$events") events" cmp -s "$events" "$WORK/$name.debug.jsonl"
  local start
  start=$(grep -m1 '"event":"stage_cleared"' "$events" | sed 's/^{"frame":\([0-9]*\).*/\1/')
  start=$((start + 1))
  local want
  for want in "$@"; do
    local at=${want%%:*} class=${want#*:}
    expect "$name: $class on frame $at of stage $stage" \
      grep -q "^{\"frame\":$((start + at)),\"stage\":$stage,\"event\":\"enemy_spawned\",\"class\":\"$class\"" "$events"
  done
  expect "$name: the play ends by itself" grep -q '"event":"play_ended"' "$events"
  cp "$f" "${E2E_SHOTS:-$WORK}/$name.rep" 2>/dev/null || true
}

# Stage 4 opens with three jellies a second apart, then the pots (an idle ship does not live to
# see Boss 4, 43 seconds in); the final boss comes alone.
check_case stage4-current 5 4 600 60:CharacterEnemyJellyb 120:CharacterEnemyJellyb 180:CharacterEnemyJellyb \
  180:CharacterEnemyPotb 190:CharacterEnemyPotb
check_case stage4-old 3 4 600 60:CharacterEnemyJelly 120:CharacterEnemyJelly 180:CharacterEnemyJelly \
  180:CharacterEnemyPot 190:CharacterEnemyPot
check_case stage5-current 5 5 300 180:CharacterEnemyMasterb
check_case stage5-old 3 5 300 60:CharacterEnemyMaster
expect "the final boss comes alone" test "$(grep -c '"event":"enemy_spawned"' "$WORK/stage5-old.release.jsonl")" = 1
