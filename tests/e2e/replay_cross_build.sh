#!/usr/bin/env bash
# Replays recorded on one build verify on another: the scripted plays of the determinism test are
# written as replay files by the given (Release) build, then verified with nimbulon-replay of that
# build and of a Debug build made here, whose event streams must be identical line for line.
# Also checks the tool's exit status for a broken file (2), a version that does not fit its mode
# (2) and a result that does not match (1).
# The Debug build is build-asan (AddressSanitizer + UndefinedBehaviorSanitizer, as the test command
# makes it) when it is there, else build-replay-debug, or REPLAY_DEBUG_BUILD. A sanitized tool also
# gets every hostile variant below: any report fails the check.
# Usage: replay_cross_build.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build}" && pwd)
sanitized() { grep -q '^NIMBULON_SANITIZE:STRING=.*address' "$1/CMakeCache.txt" 2>/dev/null; }
if [ -n "${REPLAY_DEBUG_BUILD:-}" ]; then DEBUG_BUILD=$REPLAY_DEBUG_BUILD
elif sanitized "$REPO/build-asan"; then DEBUG_BUILD=$REPO/build-asan
else DEBUG_BUILD=$REPO/build-replay-debug
fi
. "$REPO/tests/e2e/lib.sh"
WORK=$(mktemp -d /tmp/nimbulon-replay-XXXXXX)
trap 'rm -rf "$WORK"; e2e_finish' EXIT

echo "building the Debug replay tool in $DEBUG_BUILD"
# The build's own status: a tool left over from an earlier build must not stand in for this one.
debug_built=1
cmake -S "$REPO" -B "$DEBUG_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
  cmake --build "$DEBUG_BUILD" --target nimbulon-replay -j2 >"$WORK/debug-build.txt" 2>&1 || debug_built=0
[ "$debug_built" = 1 ] || tail -n 20 "$WORK/debug-build.txt"
expect "the Debug build of nimbulon-replay builds" test "$debug_built" = 1 -a -x "$DEBUG_BUILD/tools/nimbulon-replay"

mkdir -p "$WORK/replays"
(cd "$WORK" && NIMBULON_REPLAY_OUT="$WORK/replays" \
  "$BUILD/tests/test_records" --gtest_filter='ReplayDeterminismTest.EveryScriptedPlayReplaysToItsRecordedResult' \
  >"$WORK/record.txt" 2>&1)
count=$(ls "$WORK/replays"/*.rep 2>/dev/null | wc -l)
expect "the scripted plays were written as replay files ($count)" test "$count" -ge 5

for f in "$WORK/replays"/*.rep; do
  name=$(basename "$f" .rep)
  "$BUILD/tools/nimbulon-replay" verify "$f" --events >"$WORK/$name.release.jsonl" 2>"$WORK/$name.release.txt"
  release=$?
  "$DEBUG_BUILD/tools/nimbulon-replay" verify "$f" --events >"$WORK/$name.debug.jsonl" 2>"$WORK/$name.debug.txt"
  debug=$?
  expect "$name: the Release tool reproduces the recorded result" test "$release" = 0
  expect "$name: the Debug tool reproduces the recorded result" test "$debug" = 0
  expect "$name: both builds report the same events" cmp -s "$WORK/$name.release.jsonl" "$WORK/$name.debug.jsonl"
  expect "$name: the events end with the end of the play" grep -q '"event":"play_ended"' "$WORK/$name.release.jsonl"
done

tool="$BUILD/tools/nimbulon-replay"
any=$(ls "$WORK/replays"/*.rep | head -n1)
printf 'NimbulonScoreFilf\0' >"$WORK/bad.rep"
"$tool" verify "$WORK/bad.rep" >/dev/null 2>&1
expect "a file that is not a replay exits with 2" test $? = 2
"$tool" verify "$WORK/missing.rep" >/dev/null 2>&1
expect "a missing file exits with 2" test $? = 2
# The version word sits at offset 22; 105 belongs to mode 3, not to the recorded mode.
cp "$any" "$WORK/version.rep"
printf '\x69' | dd of="$WORK/version.rep" bs=1 seek=22 conv=notrunc 2>/dev/null
"$tool" verify "$WORK/version.rep" >/dev/null 2>&1
expect "a version that does not fit the mode exits with 2" test $? = 2
# The score word at offset 30, raised by 1000: the play no longer matches its header.
cp "$any" "$WORK/score.rep"
printf '\xe8\x03\x00\x00' | dd of="$WORK/score.rep" bs=1 seek=30 conv=notrunc 2>/dev/null
"$tool" verify "$WORK/score.rep" >"$WORK/score.txt" 2>&1
expect "a result that does not match exits with 1" test $? = 1
expect "and says so" grep -q MISMATCH "$WORK/score.txt"
# One stage more than the play reached, and no other lie: the file holds a start and a trace for
# every stage its header names (the word at offset 34), so an empty pair is added for it.
/usr/bin/python3 - "$any" "$WORK/stages.rep" <<'PY'
import struct, sys
b = bytearray(open(sys.argv[1], 'rb').read())
n = struct.unpack_from('<i', b, 34)[0]
struct.pack_into('<i', b, 34, n + 1)
b[54 + 8 * n:54 + 8 * n] = bytes(8)
open(sys.argv[2], 'wb').write(bytes(b) + bytes(4))
PY
"$tool" verify "$WORK/stages.rep" >"$WORK/stages.txt" 2>&1
expect "a stage count that does not match exits with 1" test $? = 1
expect "and says so" grep -q MISMATCH "$WORK/stages.txt"
"$tool" verify "$any" --max-frames 10 >/dev/null 2>&1
expect "a run cut short by --max-frames exits with 1" test $? = 1
for arg in "" "12x" "-3" "99999999999999999999"; do
  "$tool" verify "$any" --max-frames "$arg" >/dev/null 2>&1
  expect "--max-frames '$arg' is refused with 2" test $? = 2
done

# Hostile files made from a real one: every truncation and two flips of every byte. The tool must
# answer each with 0, 1 or 2 within a minute and inside 1 GB of address space: no crash, no hang,
# no allocation that a forged count could blow up. The sanitized tool, when there is one, gets each
# too, with allocations over 1 GB as reports (its shadow memory rules out ulimit -v) and the play
# cut at 600 frames; a report, a leak included, exits with 86.
size=$(stat -c %s "$any")
odd=0
hostile="$WORK/hostile.rep"
sanitized "$DEBUG_BUILD" && sanitized_tool="$DEBUG_BUILD/tools/nimbulon-replay" || sanitized_tool=""
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1:exitcode=86:max_allocation_size_mb=1000:allocator_may_return_null=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1:exitcode=86"
try_hostile() {  # try_hostile DESCRIPTION
  ( ulimit -v 1000000; exec timeout 60 "$tool" verify "$hostile" ) >/dev/null 2>&1
  local status=$? sanitized_status=0
  if [ -n "$sanitized_tool" ]; then
    timeout 60 "$sanitized_tool" verify "$hostile" --max-frames 600 >/dev/null 2>"$WORK/sanitized.txt"
    sanitized_status=$?
  fi
  case $status in 0|1|2) ;; *) odd=$((odd + 1)); echo "  $1: exit status $status"; cp "$hostile" "$WORK/odd-$odd.rep" ;; esac
  case $sanitized_status in 0|1|2) ;; *)
    odd=$((odd + 1)); echo "  $1: the sanitized tool exits with $sanitized_status"; cp "$hostile" "$WORK/odd-$odd.rep"
    head -n 30 "$WORK/sanitized.txt" ;;
  esac
}
for ((n = 0; n < size; n++)); do
  head -c "$n" "$any" >"$hostile"
  try_hostile "cut to $n bytes"
done
for ((at = 0; at < size; at++)); do
  for mask in 255 1; do
    cp "$any" "$hostile"
    byte=$(od -An -tu1 -j "$at" -N1 "$any" | tr -d ' ')
    printf "\\$(printf %03o $((byte ^ mask)))" | dd of="$hostile" bs=1 seek="$at" conv=notrunc 2>/dev/null
    try_hostile "byte $at xor $mask"
  done
done
expect "$((size * 3)) hostile variants of a replay file: no crash, hang or runaway allocation${sanitized_tool:+ (also sanitized)} ($odd odd)" test "$odd" = 0

"$tool" verify "$any" >"$WORK/plain.txt" 2>&1
expect "the summary shows the recorded and replayed results" \
  grep -qE '^recorded +mode [0-9]+ +version 10[4-7] +score [0-9]+ +stages [0-9]+ +lives [0-9]+ +frames [0-9]+' "$WORK/plain.txt"

# Many files in one run: one result line per file in the order given, the worst exit status, the
# same lines whatever the number of jobs, a JSON summary that parses, and the events of every file
# in order, each line naming its file.
set -- "$WORK/replays"/*.rep
"$tool" verify "$@" >"$WORK/bulk1.txt" 2>&1
expect "several good files exit with 0" test $? = 0
expect "one result line per file and a total" test "$(grep -c '^MATCH ' "$WORK/bulk1.txt")" = "$#"
"$tool" verify "$@" --jobs 2 >"$WORK/bulk2.txt" 2>&1
expect "--jobs 2 gives the same lines" cmp -s <(grep -v ' s$' "$WORK/bulk1.txt") <(grep -v ' s$' "$WORK/bulk2.txt")
"$tool" verify "$@" "$WORK/score.rep" "$WORK/bad.rep" --jobs 2 >"$WORK/bulk3.txt" 2>&1
expect "a mismatch and an unreadable file among good ones exit with 2" test $? = 2
"$tool" verify "$@" "$WORK/score.rep" >/dev/null 2>&1
expect "a mismatch among good ones exits with 1" test $? = 1
expect "the lines name each outcome" bash -c "grep -q '^MISMATCH .*score.rep' '$WORK/bulk3.txt' && grep -q '^UNREADABLE .*bad.rep' '$WORK/bulk3.txt'"
"$tool" verify "$@" "$WORK/bad.rep" --json --jobs 2 2>/dev/null >"$WORK/bulk.json"
expect "--json writes a summary that parses" /usr/bin/python3 -c "
import json, sys
d = json.load(open(sys.argv[1]))
assert d['total'] == $# + 1 and d['match'] == $# and d['unreadable'] == 1 and d['status'] == 2
assert [f['result'] for f in d['files']][-1] == 'unreadable'" "$WORK/bulk.json"
"$tool" verify "$1" "$2" --events --jobs 2 >"$WORK/bulk.jsonl" 2>/dev/null
expect "--events of several files come in file order, each line naming its file" /usr/bin/python3 -c "
import json, sys
bulk, a, b, ea, eb = sys.argv[1:]
want = [(a, l) for l in open(ea)] + [(b, l) for l in open(eb)]
got = open(bulk).read().splitlines(True)
assert len(got) == len(want)
for (f, line), g in zip(want, got):
    assert g == '{\"file\":' + json.dumps(f) + ',' + line[1:], (g, line)" \
  "$WORK/bulk.jsonl" "$1" "$2" "$WORK/$(basename "$1" .rep).release.jsonl" "$WORK/$(basename "$2" .rep).release.jsonl"
