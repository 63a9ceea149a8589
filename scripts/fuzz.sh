#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in ./build-fuzz (or $QUORVEL_FUZZ_BUILD_DIR) and
# runs each for the given number of seconds (default 30), starting from the seed corpus in
# fuzz/corpus/<target>/. Prints each target's executions and coverage; fails when any target
# finds a crash, a sanitizer report, a leak, a time-out or a broken property.
#
#   scripts/fuzz.sh [seconds] [target...]      e.g. scripts/fuzz.sh 600 fuzz_settings
#
# What a run finds is kept in build-fuzz/corpus/<target>/ (new inputs) and
# build-fuzz/crashes/ (the input that failed; replay it with build-fuzz/fuzz/<target> <file>).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
[ $# -gt 0 ] && shift
build_dir=${QUORVEL_FUZZ_BUILD_DIR:-build-fuzz}

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} cmake -S . -B "$build_dir" -G Ninja \
  -DQUORVEL_WERROR=${QUORVEL_WERROR:-OFF} \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined -DQUORVEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
mkdir -p "$build_dir/crashes" "$build_dir/logs"
failed=()
for target in "${targets[@]}"; do
  program="$build_dir/fuzz/$target"
  if [ ! -x "$program" ]; then
    echo "fuzz: no such target: $target" >&2
    failed+=("$target")
    continue
  fi
  work="$build_dir/corpus/$target"
  mkdir -p "$work"
  log="$build_dir/logs/$target.log"
  status=0
  # Files the target writes go to a folder of this run (in memory when /dev/shm is there).
  scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/quorvel-fuzz.XXXXXX")
  # New inputs go to the work corpus; the seeds in the repository are only read. The HTML
  # reader also starts from the test pages modelled on today's sites.
  seeds=("fuzz/corpus/$target")
  [ "$target" = fuzz_html_scan ] && seeds+=(tests/bench/pages)
  QUORVEL_FUZZ_SCRATCH="$scratch" "$program" "$work" "${seeds[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 -malloc_limit_mb=8 \
    -print_final_stats=1 -artifact_prefix="$build_dir/crashes/$target-" >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1 || true)
  corpus=$(grep -o 'corp: [0-9]*/[0-9a-zA-Z]*' "$log" | tail -n 1 || true)
  if [ "$status" -eq 0 ]; then
    printf 'fuzz: %-22s ok      %8s execs in %ss  %s  %s\n' "$target" "${execs:-?}" "$seconds" "$cov" "$corpus"
  else
    printf 'fuzz: %-22s FAILED  (exit %s) after %s execs\n' "$target" "$status" "${execs:-?}"
    grep -E -A 25 'ERROR|property broken|runtime error|Test unit written' "$log" | head -n 60
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (logs in $build_dir/logs, inputs in $build_dir/crashes)" >&2
  exit 1
fi
