#!/usr/bin/env bash
# The whole test suite, the short soak runs included, built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
#   scripts/sanitize.sh [ctest arguments]
#
# Builds in $BUILD (default build-asan) with TAVRINO_SANITIZE=ON and $CMAKE_FLAGS (for example
# -DTAVRINO_QT=6) and runs CTest there. Any
# sanitizer report fails the test that caused it. Leaks are checked too; the suppressions in
# scripts/lsan.supp cover only what Qt and the system libraries keep until exit.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build-asan}
jobs=${JOBS:-2}

# shellcheck disable=SC2086
cmake -S . -B "$build" -DTAVRINO_SANITIZE=ON -DBUILD_TESTING=ON ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build" -j "$jobs"

# Qt's libraries have no frame pointers: only the slow unwinder gives leak reports whole
# stacks, which the suppressions need to tell Qt's start-up allocations from ours.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:fast_unwind_on_malloc=0:abort_on_error=1:detect_stack_use_after_return=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" -C slow "$@"
