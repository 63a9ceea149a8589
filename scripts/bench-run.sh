#!/usr/bin/env bash
# Builds and runs the benchmark of the run itself (loopback only) and prints its figures: the
# wall time of a 1,000-fetch run beside the sum of the intervals it measured, once against a
# server that answers after 2 ms (a near server) and once against one that answers at once.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" --target bench_run
"$build_dir/perf/bench_run" --fetches 1000 --delay-ms 2
"$build_dir/perf/bench_run" --fetches 1000 --delay-ms 0
