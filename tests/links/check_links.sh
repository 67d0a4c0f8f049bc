#!/usr/bin/env bash
# The programs that only re-simulate plays link no sound, window or network library.
# Usage: check_links.sh GAME TOOL...
# The game itself must show the SDL and FluidSynth libraries, which proves the pattern finds them.
set -u
pattern='fluidsynth|SDL|curl|fontconfig'
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
status=0
game=$1; shift
for lib in SDL2 fluidsynth; do
  if ! needed "$game" | grep -q "$lib"; then
    echo "FAIL: the game $game does not link $lib: the check would not see it either"; status=1
  fi
done
for tool in "$@"; do
  bad=$(needed "$tool" | grep -E "$pattern")
  if [ -n "$bad" ]; then
    echo "FAIL: $tool links $(echo $bad)"; status=1
  else
    echo "ok: $tool links $(needed "$tool" | tr '\n' ' ')"
  fi
done
exit $status
