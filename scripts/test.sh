#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests (ctest), asset checks and the
# end-to-end tests (each starts its own Xvfb).
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1
scripts/build.sh Release || exit 1
mkdir -p data

passed=0
failed=0
failures=()
run() {  # run NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$name"); fi
}

run "unit tests" ctest --test-dir build --output-on-failure -j2 --timeout 600
for t in tests/assets/test_*.py; do
  [ -f "$t" ] && run "$t" /usr/bin/python3 "$t"
done
for t in tests/e2e/*_e2e.sh tests/e2e/*_build.sh; do
  [ -f "$t" ] && run "$t" bash "$t" build
done

echo
[ ${#failures[@]} -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
