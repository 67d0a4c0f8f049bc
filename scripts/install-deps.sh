#!/usr/bin/env bash
# Installs the Debian packages Nimbulon needs to build, run and test, when any is missing.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev fonts-vlgothic
  libfluidsynth-dev fluid-soundfont-gm
  libcurl4-openssl-dev libsqlite3-dev
  libmicrohttpd-dev libsodium-dev libpq-dev postgresql libseccomp-dev zlib1g-dev libbrotli-dev libicu-dev
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  wrk curl haproxy nginx-light slowhttptest iproute2
  libgtest-dev
  xvfb xdotool x11-xserver-utils imagemagick x11-utils xfonts-base libxtst-dev
  python3 python3-mido python3-pil python3-numpy abcmidi sox
  emscripten chromium firefox-esr python3-websocket vorbis-tools
  gettext desktop-file-utils appstream systemd dpkg-dev man-db groff-base file
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
