#!/usr/bin/env bash
# Builds the test suite a second time, with AddressSanitizer and UndefinedBehaviorSanitizer,
# in ./build-asan (or $QUORVEL_ASAN_BUILD_DIR), and runs every test under them. Any sanitizer
# report (memory error, undefined behaviour, leak) ends the test program and fails the run.
#
# The compiler is clang-14 (CI builds the tests with gcc, so both compilers see every line);
# CC=gcc CXX=g++ works as well. QUORVEL_WERROR=ON makes every warning an error.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUORVEL_ASAN_BUILD_DIR:-build-asan}

# -O1 keeps the instrumented build and its tests quick; -g1 keeps line numbers in reports.
CC=${CC:-clang-14} CXX=${CXX:-clang++-14} cmake -S . -B "$build_dir" -G Ninja \
  -DQUORVEL_WERROR=${QUORVEL_WERROR:-OFF} \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DQUORVEL_SANITIZE=address,undefined "$@" >/dev/null
cmake --build "$build_dir"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:detect_odr_violation=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
# Qt and fontconfig keep a few allocations of their own until the process ends; only those
# are suppressed (see the file), never anything of ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
