#!/usr/bin/env bash
# Builds and runs the log statistics benchmark: a full computation (six passes and the chart
# file) over a generated one-million-line summary log, and over one of 100,000 lines.
# Usage: scripts/bench-stats.sh [lines]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build_dir" --target bench_stats
"$build_dir/perf/bench_stats" "$@"
