#!/usr/bin/env bash
# The share of tests in the code: every line of the C++ sources (.cpp, .h) of the program
# (app, bench, cli, core, dialogs, stats, tools), of the tests (tests/) and of the fuzz targets
# (fuzz/), and tests + fuzz over all three. Benchmark programs (perf/), documentation tooling
# (docs/) and the sample server (sample/) are counted apart and left out of the share.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -type f -print0 2>/dev/null | xargs -0 cat 2>/dev/null | wc -l; }
product=$(count app bench cli core dialogs stats tools)
tests=$(count tests)
fuzz=$(count fuzz)
other=$(count perf docs sample)
total=$((product + tests + fuzz))
awk -v p="$product" -v t="$tests" -v f="$fuzz" -v o="$other" -v all="$total" 'BEGIN {
  printf "product lines  %6d\n", p
  printf "test lines     %6d\n", t
  printf "fuzz lines     %6d\n", f
  printf "share          %5.1f%%  (tests and fuzz over product, tests and fuzz)\n", 100 * (t + f) / all
  printf "not counted    %6d  (perf/, docs/, sample/)\n", o
}'
