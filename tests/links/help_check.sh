#!/usr/bin/env bash
# Every program given answers --help and -h with its usage on standard output and status 0, and
# leaves the folder it ran in as it found it (nimbulon-make-play once wrote a replay named --help).
# Usage: help_check.sh PROGRAM...
set -u
failed=0
for program in "$@"; do
  for flag in --help -h; do
    dir=$(mktemp -d /tmp/nimbulon-help-XXXXXX)
    out=$(cd "$dir" && HOME="$dir" XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config" timeout 30 "$program" "$flag" 2>"$dir.err")
    status=$?
    left=$(ls -A "$dir")
    name=$(basename "$program")
    if [ "$status" -ne 0 ]; then echo "FAIL $name $flag: status $status"; failed=1; fi
    if ! printf '%s' "$out" | grep -qi '^usage:'; then echo "FAIL $name $flag: no usage on standard output"; failed=1; fi
    if [ -n "$left" ]; then echo "FAIL $name $flag: left $left"; failed=1; fi
    rm -rf "$dir" "$dir.err"
  done
done
[ "$failed" -eq 0 ] && echo "$# programs answer --help and -h without side effects"
exit "$failed"
