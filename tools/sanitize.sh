#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# in a build folder of its own and runs it with ctest. Leaks are reported;
# tools/lsan.supp silences only leaks inside system and third-party libraries.
#
#   tools/sanitize.sh [CTEST ARGUMENTS...]
#
# Environment: SANITIZE_BUILD (build folder, default build-asan in the repository),
# SANITIZE_GUI (ON or OFF: build and run the window tests, default ON).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${SANITIZE_BUILD:-$ROOT/build-asan}
GUI=${SANITIZE_GUI:-ON}

cmake -S "$ROOT" -B "$BUILD" -DVORNIK_SANITIZE=ON -DVORNIK_GUI="$GUI" -DVORNIK_TESTS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tools/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" --output-on-failure "$@"
