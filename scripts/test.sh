#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests (ctest), asset checks and the
# end-to-end tests (each starts its own Xvfb).
set -uo pipefail
cd "$(dirname "$0")/.."
# Compiler cache keys relative to the checkout, so a fresh clone in another folder (as CI makes)
# reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
scripts/install-deps.sh || exit 1
scripts/build.sh Release || exit 1
mkdir -p data

# Every process the suites start inherits this mark, however it is started (in the background, by
# pg_ctl, as a daemon): after the last suite, any process still carrying it was left behind.
export NIMBULON_TEST_RUN="$$-$(date +%s%N)"

passed=0
failed=0
failures=()
run() {  # run NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$name"); fi
}

run "unit tests" ctest --test-dir build --output-on-failure -j2 --timeout 600

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
run "AddressSanitizer + UndefinedBehaviorSanitizer build" sanitized_build build-asan address,undefined
run "unit tests (AddressSanitizer + UndefinedBehaviorSanitizer)" ctest --test-dir build-asan --output-on-failure -j2 --timeout 900
run "ThreadSanitizer build" sanitized_build build-tsan thread test_music test_sound
run "music and sound tests (ThreadSanitizer)" bash -c 'cd build-tsan && tests/test_music --gtest_brief=1 && tests/test_sound --gtest_brief=1'
for t in tests/assets/test_*.py; do
  [ -f "$t" ] && run "$t" /usr/bin/python3 "$t"
done
for t in tests/e2e/*_e2e.sh tests/e2e/*_build.sh; do
  [ -f "$t" ] && run "$t" bash "$t" build
done

# Thirty starts of the game under fresh Xvfbs beside two busy loops: every one opens its window.
run "start stress (30 starts)" tools/bench/start_stress.sh 30 build

# After the last suite nothing that carries the run's mark may still run, other than this script
# and what it is running right now (its descendants). Leftovers are named and stopped, and fail the
# run.
no_leftovers() {
  /usr/bin/python3 - "$$" "$NIMBULON_TEST_RUN" <<'PY'
import os, signal, sys
me, mark = int(sys.argv[1]), ("NIMBULON_TEST_RUN=" + sys.argv[2]).encode()
parent = {}
for p in filter(str.isdigit, os.listdir("/proc")):
    try:
        parent[int(p)] = int(open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()[1])
    except (OSError, IndexError, ValueError):
        pass
def mine(pid):
    while pid > 1:
        if pid == me:
            return True
        pid = parent.get(pid, 0)
    return False
left = []
for pid in parent:
    try:
        if mark in open(f"/proc/{pid}/environ", "rb").read().split(b"\0") and not mine(pid):
            left.append((pid, open(f"/proc/{pid}/cmdline", "rb").read().replace(b"\0", b" ").decode(errors="replace")))
    except OSError:
        pass
for pid, cmd in left:
    print(f"  left running: {pid} {cmd}")
    try:
        os.kill(pid, signal.SIGKILL)
    except OSError:
        pass
sys.exit(1 if left else 0)
PY
}
run "no process left behind" no_leftovers

echo
[ ${#failures[@]} -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
