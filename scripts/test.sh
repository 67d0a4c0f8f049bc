#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests (ctest), asset checks and the
# end-to-end tests (each starts its own Xvfb).
#
# Nothing is skipped unless the developer asks for it by name:
#   NIMBULON_SKIP=online_e2e,postgresql scripts/test.sh
# A name is a suite (as its "===" line shows it: unit, asan-unit, online_e2e, ...) or a prerequisite (the Debian package the install
# script installs it from: scripts/prerequisites.sh --names). A missing prerequisite not named
# there fails, and says what is missing; a suite that ran no check fails; what was skipped is
# counted in the summary line, "suites: N passed, N failed, N skipped".
set -uo pipefail
cd "$(dirname "$0")/.."

# Every process the suites start is this script's descendant while it lives: the script makes
# itself the child subreaper of what it starts, so a process whose parent ends (a daemon, a server's
# check process after its server was killed, whatever its environment) is handed to the script
# instead of to init. After the last suite, the check below finds every one still running.
if [ "${NIMBULON_TEST_SUBREAPER:-}" != "$$" ]; then
  export NIMBULON_TEST_SUBREAPER=$$
  exec /usr/bin/python3 -c '
import ctypes, os, sys
if ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0) != 0:  # PR_SET_CHILD_SUBREAPER
    sys.exit("scripts/test.sh: cannot become the subreaper of its suites: " + os.strerror(ctypes.get_errno()))
os.execv("/bin/bash", ["bash"] + sys.argv[1:])' "$0" "$@"
fi

# Compiler cache keys relative to the checkout, so a fresh clone in another folder (as CI makes)
# reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
scripts/install-deps.sh || exit 1
scripts/build.sh Release || exit 1
mkdir -p data

SKIP=${NIMBULON_SKIP:-}
SKIP=",${SKIP// /},"
asked() { [[ $SKIP == *",$1,"* ]]; }
RUN_DIR=$(mktemp -d /tmp/nimbulon-test-run-XXXXXX)
export NIMBULON_CHECKS="$RUN_DIR/checks"

passed=0
failed=0
skipped=0
failures=()
skips=()
suites=()
# run NAME KIND COMMAND...: KIND says where the suite's count of checks comes from:
#   checks  the suite appends "passed failed skipped" to $NIMBULON_CHECKS (tests/e2e/lib.sh does)
#   ctest   ctest's JUnit report ($REPORT), read by scripts/suite_counts.py
#   gtest   the GoogleTest programs' JSON reports ($REPORT_DIR), likewise
#   build   a build: its status alone
# A suite passes when its command succeeds and its checks ran, none failing; it counts as skipped
# when it was named in NIMBULON_SKIP, or when some of its checks were skipped as asked.
run() {
  local name=$1 kind=$2; shift 2
  suites+=("$name")
  echo "=== $name"
  if asked "$name"; then
    echo "  skipped: NIMBULON_SKIP names it"
    skipped=$((skipped + 1)); skips+=("$name")
    return
  fi
  : >"$NIMBULON_CHECKS"
  REPORT="$RUN_DIR/report.xml" REPORT_DIR="$RUN_DIR/reports"
  rm -rf "$REPORT" "$REPORT_DIR" && mkdir -p "$REPORT_DIR"
  "$@"
  local status=$?
  case $kind in
    ctest) /usr/bin/python3 scripts/suite_counts.py ctest "$REPORT" ;;
    gtest) /usr/bin/python3 scripts/suite_counts.py gtest "$REPORT_DIR"/*.json ;;
  esac
  local ran=0 bad=0 left=0 p f s
  while read -r p f s; do ran=$((ran + p + f)); bad=$((bad + f)); left=$((left + s)); done <"$NIMBULON_CHECKS"
  if [ "$kind" != build ] && [ $((ran + left)) -eq 0 ]; then
    echo "  FAIL $name ran no check"
    bad=1
  fi
  if [ "$status" -ne 0 ] || [ "$bad" -ne 0 ]; then
    failed=$((failed + 1)); failures+=("$name")
  elif [ "$left" -ne 0 ]; then
    skipped=$((skipped + 1)); skips+=("$name ($left of its checks)")
  else
    passed=$((passed + 1))
  fi
}

run prerequisites checks scripts/prerequisites.sh
run unit ctest ctest --test-dir build --output-on-failure -j2 --timeout 600 --no-tests=error \
  --output-junit "$RUN_DIR/report.xml"

# Sanitizer builds of the tests in folders of their own, Debug with -O1: every unit test with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan, also used by the replay cross-build
# check), and the music and sound tests, whose player thread, audio callback and main thread share
# state, with ThreadSanitizer. A report fails the run (status 86); so does a leak.
export TSAN_OPTIONS=exitcode=86:second_deadlock_stack=1
sanitized_build() {  # sanitized_build DIR SANITIZERS [TARGET...]
  local dir=$1 sanitizers=$2; shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNIMBULON_SANITIZE="$sanitizers" >/dev/null &&
    cmake --build "$dir" -j"$(nproc)" ${1:+--target "$@"} >"$dir/build.log" 2>&1 || { tail -n 40 "$dir/build.log"; return 1; }
}
export ASAN_OPTIONS=detect_leaks=1:exitcode=86:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
run asan-build build sanitized_build build-asan address,undefined
run asan-unit ctest ctest --test-dir build-asan --output-on-failure -j2 --timeout 900 --no-tests=error \
  --output-junit "$RUN_DIR/report.xml"
run tsan-build build sanitized_build build-tsan thread test_music test_sound
run tsan-unit gtest bash -c 'cd build-tsan &&
  tests/test_music --gtest_brief=1 --gtest_output="json:$0/music.json" &&
  tests/test_sound --gtest_brief=1 --gtest_output="json:$0/sound.json"' "$RUN_DIR/reports"
for t in tests/assets/test_*.py; do
  run "$(basename "$t" .py)" checks /usr/bin/python3 "$t"
done
for t in tests/e2e/*_e2e.sh tests/e2e/*_build.sh; do
  run "$(basename "$t" .sh)" checks bash "$t" build
done

# Thirty starts of the game under fresh Xvfbs beside two busy loops: every one opens its window.
run start_stress checks tools/bench/start_stress.sh 30 build

# After the last suite nothing the run started may still run, other than this script and what it
# is running right now (the check itself and its ancestors up to the script). Whatever its
# environment, a process the run started is this script's descendant (see the subreaper above).
# Leftovers are named and stopped, and fail the run.
no_leftovers() {
  /usr/bin/python3 - "$$" <<'PY'
import os, signal, sys
me = int(sys.argv[1])
parent, state = {}, {}
for p in filter(str.isdigit, os.listdir("/proc")):
    try:
        fields = open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()
        state[int(p)], parent[int(p)] = fields[0], int(fields[1])
    except (OSError, IndexError, ValueError):
        pass
def chain(pid):
    while pid > 1:
        yield pid
        pid = parent.get(pid, 0)
running_now = set(chain(os.getpid()))
left = []
for pid in parent:
    if me in chain(pid) and pid not in running_now and state.get(pid) != "Z":
        try:
            cmd = open(f"/proc/{pid}/cmdline", "rb").read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        left.append((pid, cmd))
for pid, cmd in left:
    print(f"  left running: {pid} {cmd}")
    try:
        os.kill(pid, signal.SIGKILL)
    except OSError:
        pass
with open(os.environ["NIMBULON_CHECKS"], "a") as f:
    f.write("0 1 0\n" if left else "1 0 0\n")
sys.exit(1 if left else 0)
PY
}
run leftovers checks no_leftovers

# A name in NIMBULON_SKIP that is neither a suite nor a prerequisite skips nothing: a misspelt
# skip would otherwise let its suite run while the developer thinks it is left out (or the reverse).
known=",$(IFS=,; echo "${suites[*]}"),$(scripts/prerequisites.sh --names | paste -sd,),"
unknown=()
for name in ${SKIP//,/ }; do
  [[ $known == *",$name,"* ]] || unknown+=("$name")
done
if [ ${#unknown[@]} -gt 0 ]; then
  echo "=== NIMBULON_SKIP"
  echo "  FAIL names no suite and no prerequisite: ${unknown[*]}"
  failed=$((failed + 1)); failures+=("NIMBULON_SKIP")
fi
rm -rf "$RUN_DIR"

echo
[ ${#failures[@]} -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
[ ${#skips[@]} -eq 0 ] || printf 'skipped as asked: %s\n' "${skips[@]}"
summary="suites: $passed passed, $failed failed"
[ "$skipped" -eq 0 ] || summary+=", $skipped skipped (NIMBULON_SKIP=${NIMBULON_SKIP:-})"
echo "$summary"
[ "$failed" -eq 0 ]
