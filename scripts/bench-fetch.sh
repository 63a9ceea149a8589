#!/usr/bin/env bash
# Builds and runs the fetching and scanning benchmark (loopback only) and prints its figures:
# throughput of a 64 MiB page and time of a 2 KB page beside the curl tool's, scanning time of
# a 10 MiB page, and peak memory while a 1 GiB resource is counted and thrown away and while a
# 1.5 GiB page is refused at the 1 GiB limit of a page in memory.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" --target bench_fetch
command -v curl >/dev/null || { echo "bench-fetch: the curl tool is needed for the comparison" >&2; exit 1; }
exec "$build_dir/perf/bench_fetch" "$(command -v curl)"
