#!/usr/bin/env bash
# Builds and runs the load run: 10,000 fetches against a loopback server answering with a mix
# of good, slow, dropped, 404 and not-found pages. Prints the totals beside what the server
# sent and the process's memory; fails when the totals do not add up or memory grows.
#   scripts/load-run.sh [--fetches N] [--pages N] [--slow-ms N] [--seed N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
exec ./"${QUORVEL_BUILD_DIR:-build}"/perf/load_run "$@"
