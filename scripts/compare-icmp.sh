#!/usr/bin/env bash
# Runs `quorvel trace --report` beside `mtr --report` and `quorvel ping` beside iputils ping in
# the namespace lab of the tests, with 10% loss and 20 +/- 2 ms on its first link, and prints
# their figures side by side. Needs root (network namespaces) and mtr-tiny.
# Usage: scripts/compare-icmp.sh [cycles]   (60 by default; the test suite runs 30)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_BUILD_DIR:-build}
cycles=${1:-60}
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build_dir" --target quorvel test_icmp >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
QT_QPA_PLATFORM=offscreen QUORVEL_LAB_CYCLES="$cycles" \
  "$build_dir/tests/tools/test_icmp" --gtest_filter='IcmpLab.ReportAndPingBesideMtrAndIputilsOnALossyJitteryLink' \
  >"$out" 2>&1 || status=$?
echo "compare-icmp: $cycles cycles and requests, 10% loss and 20 +/- 2 ms on the first link"
grep '^figures: ' "$out" | sed 's/^figures: /  /' || true
if grep -q 'SKIPPED' "$out"; then grep -A1 'Skipped' "$out" | head -3; fi
if [ "$status" -ne 0 ]; then
  echo "compare-icmp: outside the bounds (loss within 15 points and averages within 15% of mtr's;"
  echo "ping's average within 5% and mdev within 50% of iputils'):"
  grep -E 'Failure|Expected|Which is|actual' "$out" | head -40
fi
exit "$status"
