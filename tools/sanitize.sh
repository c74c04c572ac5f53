#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# in a build folder of its own and runs it with ctest. Leaks are reported;
# tools/lsan.supp silences only leaks inside system and third-party libraries.
#
#   tools/sanitize.sh [CTEST ARGUMENTS...]
#
# Environment: SANITIZE_BUILD (build folder, default build-asan in the repository),
# SANITIZE_GUI (ON or OFF: build and run the window tests, default ON),
# SANITIZE_TEST_JOBS (tests run at once, default 4).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${SANITIZE_BUILD:-$ROOT/build-asan}
GUI=${SANITIZE_GUI:-ON}

# -O1 and line tables only (-g1): reports keep their file:line stacks, and the
# build takes less than half the time of -O2 -g.
cmake -S "$ROOT" -B "$BUILD" -DVORNIK_SANITIZE=ON -DVORNIK_GUI="$GUI" -DVORNIK_TESTS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

# Every report also goes to a file of its own, so that one made by a child
# process whose exit status a test does not look at (the simulator, the
# command-line tool, a fault matrix case) still fails the run.
REPORTS="$BUILD/sanitizer-reports"
rm -rf "$REPORTS"
mkdir -p "$REPORTS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$REPORTS/asan:log_exe_name=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tools/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:log_path=$REPORTS/ubsan:log_exe_name=1}
rc=0
# Most tests wait on paced registers, so four run at once even on two cores
# (the service's run alone); SANITIZE_TEST_JOBS changes it.
ctest --test-dir "$BUILD" --output-on-failure -j"${SANITIZE_TEST_JOBS:-4}" "$@" || rc=$?
if [ -n "$(ls -A "$REPORTS")" ]; then
  echo "Sanitizer reports (in $REPORTS):" >&2
  for f in "$REPORTS"/*; do echo "== $f" >&2; head -40 "$f" >&2; done
  rc=1
fi
exit "$rc"
