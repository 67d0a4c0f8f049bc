#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (AddressSanitizer and UndefinedBehaviorSanitizer on)
# into build-fuzz/ and runs each for a bounded time, starting from its seed corpus in tests/fuzz/.
# New inputs go to build-fuzz/corpus/<target>/ (the kept corpus is not touched); a crash, hang,
# leak or runaway allocation stops the target and leaves its input in build-fuzz/findings/.
# Keep such an input in tests/fuzz/<target>/ once it is fixed: the unit tests replay the corpus.
#
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET (default 60)] [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-60}
shift || true
ALL=(replay midi wave bitmap ranking system_save config upload_form server_txt connector_reply http_request)
TARGETS=("$@")
[ $# -eq 0 ] && TARGETS=("${ALL[@]}")
BUILD=build-fuzz
# Seconds one input may take before it counts as a hang. http_request sends each input to a real
# server on loopback, whose upload check re-simulates a play under the sanitizers: tens of seconds
# on a busy machine without anything being wrong.
declare -A HANG_SECONDS=([http_request]=30)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNIMBULON_SANITIZE=address,undefined -DNIMBULON_FUZZ=ON >/dev/null || exit 1
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]/#/fuzz_}" || exit 1

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$BUILD/findings"
status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "$BUILD/corpus/$t"
  echo "=== fuzz_$t for ${SECONDS_PER_TARGET}s"
  # -rss_limit_mb and -malloc_limit_mb catch runaway allocations, -timeout hangs.
  if "$BUILD/tools/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -timeout="${HANG_SECONDS[$t]:-10}" -rss_limit_mb=2048 \
      -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$BUILD/findings/$t-" \
      "$BUILD/corpus/$t" "tests/fuzz/$t" >"$BUILD/findings/$t.log" 2>&1; then
    echo "    $(grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE)' "$BUILD/findings/$t.log" | tail -n1)"
  else
    status=1
    echo "    FOUND something: see $BUILD/findings/$t.log and $BUILD/findings/$t-*"
  fi
done
exit $status
