#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Prints a line per step and the counts
# of passed, failed and skipped tests; exits non-zero when a test fails. The full output of
# every step is kept in a log file (printed, with the failures, when something goes wrong).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh
step "Installing what is missing" install bash scripts/install-deps.sh
step "Building" build bash scripts/build.sh
build_dir=${QUORVEL_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
log="$quorvel_log_dir/tests.log"
printf 'Running the tests ... '
start=$SECONDS
status=0
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" >"$log" 2>&1 || status=$?
echo "done ($((SECONDS - start)) s)"

total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\2/p' "$log" | tail -1)
failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\1/p' "$log" | tail -1)
skipped=$(grep -c '\*\*\*Skipped' "$log" || true)
total=${total:-0}
failed=${failed:-0}
echo "Tests: $((total - failed - skipped)) passed, $failed failed, $skipped skipped (of $total)"
if [ "$skipped" -gt 0 ]; then
  grep '\*\*\*Skipped' "$log" | sed 's/^.*Test *#[0-9]*: \([^ ]*\).*/  skipped: \1/'
fi
if [ "$status" -ne 0 ]; then
  echo "The failures:" >&2
  sed -n '/The following tests FAILED/,$p' "$log" >&2
  echo "The whole output, with each failed test's own: $log" >&2
  # CI shows only what is printed: the output of the failed tests themselves.
  if [ -n "${CI:-}${QUORVEL_VERBOSE_FAILURES:-}" ]; then
    awk '/Test *#[0-9]+:.*\*\*\*Failed/{show=1} /Test *#[0-9]+:.*Passed/{show=0} show' "$log" | tail -n 400 >&2
  fi
  exit "$status"
fi
