#!/usr/bin/env bash
# Fails when a text marked N_() in the code has no translation in po/en.po, or the catalogue is
# malformed. Usage: po/check.sh [source dir]
set -euo pipefail
src=${1:-$(dirname "$0")/..}
pot=$(mktemp)
trap 'rm -f "$pot" "$pot.err"' EXIT
cd "$src"
mapfile -t files < <(grep -rl --include='*.cpp' --include='*.h' 'N_(' src | sort)
# The texts are Japanese: xgettext warns about every one of them, so its words show only on failure.
export LC_ALL=C.UTF-8
if ! xgettext --from-code=UTF-8 --keyword= --keyword=N_ -o "$pot" "${files[@]}" 2>"$pot.err"; then
  cat "$pot.err" >&2
  exit 1
fi
msgfmt --check -o /dev/null po/en.po
msgcmp po/en.po "$pot"
echo "po/en.po translates every marked text"
