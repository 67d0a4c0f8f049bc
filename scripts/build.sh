#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR) with the given build type (default Release).
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache keys relative to the checkout, so a fresh clone in another folder (as CI makes)
# reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
BUILD_DIR=${BUILD_DIR:-build}
TYPE=${1:-Release}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$TYPE" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
