#!/usr/bin/env bash
# Configures and builds Quorvel and its tests in ./build (or $QUORVEL_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_BUILD_DIR:-build}
# QUORVEL_WERROR=ON (as CI sets it) makes every warning an error.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
  -DQUORVEL_WERROR=${QUORVEL_WERROR:-OFF} "$@" >/dev/null
cmake --build "$build_dir"
