#!/usr/bin/env bash
# Builds and runs the Last Run window's benchmark on the offscreen platform: the time to open
# the window and draw its waterfall for a page of 10,000 requests and for a run of 100,000.
# Usage: scripts/bench-waterfall.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build_dir" --target bench_waterfall
QT_QPA_PLATFORM=offscreen "$build_dir/perf/bench_waterfall"
