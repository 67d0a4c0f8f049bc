#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh Release
mkdir -p data
exec ./build/nimbulon
