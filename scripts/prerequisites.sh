#!/usr/bin/env bash
# What the tests need of the machine, one probe a prerequisite, each named by the Debian package
# scripts/install-deps.sh installs it from (or, for a capability, by a name of its own). A missing
# one is a failure that names it, unless the developer asked to go without it by name:
#   NIMBULON_SKIP=postgresql,fluid-soundfont-gm scripts/test.sh
# Usage: prerequisites.sh          checks every probe, prints "N passed, N failed[, N skipped]"
#        prerequisites.sh --names  the names a skip may ask for
set -u
PROBES=(
  "postgresql|ls /usr/lib/postgresql/*/bin/initdb"
  "fluid-soundfont-gm|test -s /usr/share/sounds/sf2/default-GM.sf2"
  "fonts-vlgothic|test -s /usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf"
  "xvfb|command -v Xvfb"
  "xdotool|command -v xdotool"
  "x11-utils|command -v xdpyinfo && command -v xwininfo"
  "x11-xserver-utils|command -v xmodmap"
  "imagemagick|command -v convert && command -v import && command -v identify"
  "abcmidi|test -x /usr/bin/abc2midi"
  "sox|command -v sox"
  "python3|test -x /usr/bin/python3"
  "python3-mido|/usr/bin/python3 -c 'import mido'"
  "python3-pil|/usr/bin/python3 -c 'import PIL'"
  "python3-numpy|/usr/bin/python3 -c 'import numpy'"
  "curl|command -v curl"
  "wrk|command -v wrk"
  "haproxy|command -v haproxy"
  "nginx-light|command -v nginx"
  "slowhttptest|command -v slowhttptest"
  "iproute2|command -v ss"
  "chromium|command -v chromium"
  "firefox-esr|command -v firefox-esr"
  "python3-websocket|/usr/bin/python3 -c 'import websocket'"
  "vorbis-tools|command -v oggenc"
  "emscripten|command -v emcmake && command -v emcc"
  "gettext|command -v msgfmt"
  "desktop-file-utils|command -v desktop-file-validate"
  "appstream|command -v appstreamcli"
  "systemd|command -v systemd-analyze"
  "man-db|command -v man"
  "dpkg-dev|command -v dpkg-shlibdeps"
  "file|command -v file"
  # The save tests mount a private tmpfs; the package test installs with dpkg: both need root.
  "private-mount|unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt' || unshare -rm sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt'"
  "root|test \"\$(id -u)\" = 0"
)
asked() { local list=${NIMBULON_SKIP:-}; [[ ",${list// /}," == *",$1,"* ]]; }
if [ "${1:-}" = --names ]; then
  for p in "${PROBES[@]}"; do echo "${p%%|*}"; done
  exit 0
fi
passed=0 failed=0 skipped=0
for p in "${PROBES[@]}"; do
  name=${p%%|*} probe=${p#*|}
  if bash -c "$probe" >/dev/null 2>&1; then
    passed=$((passed + 1))
  elif asked "$name"; then
    skipped=$((skipped + 1)); echo "  skip $name: missing, and NIMBULON_SKIP names it"
  else
    failed=$((failed + 1)); echo "  FAIL missing prerequisite $name ($probe)"
  fi
done
line="$passed passed, $failed failed"
[ "$skipped" -eq 0 ] || line+=", $skipped skipped"
echo "$line"
[ -z "${NIMBULON_CHECKS:-}" ] || echo "$passed $failed $skipped" >>"$NIMBULON_CHECKS"
[ "$failed" -eq 0 ]
