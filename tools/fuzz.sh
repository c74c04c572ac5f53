#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 20) on its
# starting inputs in fuzz/corpus/<target>/. Fails when any target finds a crash, a
# leak, undefined behaviour or a hang; the input that did it is left in the
# artifacts folder and named in the summary.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]
#
# Environment: FUZZ_BUILD (build folder, default build-fuzz in the repository), FUZZ_WORK
# (grown corpora, logs and failing inputs, default <build>/fuzz-work),
# FUZZ_JOBS (targets run at once, default 1), FUZZ_TIMEOUT (seconds one input
# may take before it counts as a hang, default 10), FUZZ_CPU=1 (SECONDS are
# processor seconds rather than seconds on the clock).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_EACH=${1:-20}
shift || true
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
JOBS=${FUZZ_JOBS:-1}
HANG=${FUZZ_TIMEOUT:-10}

case "$SECONDS_EACH" in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$ROOT" -B "$BUILD" -DVORNIK_FUZZ=ON -DVORNIK_GUI=OFF \
  -DVORNIK_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target vornik_fuzz

if [ $# -gt 0 ]; then
  TARGETS=("$@")
else
  TARGETS=()
  for d in "$ROOT"/fuzz/corpus/*/; do TARGETS+=("$(basename "$d")"); done
fi

WORK=${FUZZ_WORK:-$BUILD/fuzz-work}
mkdir -p "$WORK/logs" "$WORK/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target: new inputs go to the work corpus, the starting inputs are only read. With
# FUZZ_CPU=1 the target runs again on its grown corpus until it has used
# SECONDS of processor time, however busy the machine is.
run_one() {
  local t=$1 exe="$BUILD/bin/fuzz_$1"
  local log="$WORK/logs/$t.log" times="$WORK/logs/$t.time"
  : >"$log"
  : >"$times"
  if [ ! -x "$exe" ]; then
    echo "$t: no such fuzz target ($exe)" >"$log"
    echo 1 >"$WORK/logs/$t.rc"
    return
  fi
  mkdir -p "$WORK/corpus/$t"
  local rc=0 left=$SECONDS_EACH
  while :; do
    /usr/bin/time -a -f "cpu_seconds %U %S" -o "$times" \
      "$exe" -max_total_time="$left" -timeout="$HANG" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$WORK/artifacts/$t-" "$WORK/corpus/$t" "$ROOT/fuzz/corpus/$t" >>"$log" 2>&1 || rc=$?
    [ "$rc" -eq 0 ] && [ "${FUZZ_CPU:-0}" = 1 ] || break
    left=$(awk -v want="$SECONDS_EACH" '/^cpu_seconds/{used += $2 + $3} END{printf "%d", want - used}' "$times")
    [ "$left" -ge 1 ] || break
  done
  echo "$rc" >"$WORK/logs/$t.rc"
}

summary() {
  local t=$1 rc=$2 log="$WORK/logs/$1.log"
  local runs cov ft cpu
  runs=$(awk '/^stat::number_of_executed_units:/{n += $2} END{print n}' "$log")
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -1 || true)
  cpu=$(awk '/^cpu_seconds/{c += $2 + $3} END{printf "%.0f", c}' "$WORK/logs/$t.time" 2>/dev/null || true)
  if [ "$rc" -eq 0 ]; then
    printf '%-16s ok      runs %-10s cpu %5ss  %s\n' "$t" "${runs:-?}" "${cpu:-?}" "$cov"
  else
    printf '%-16s FAILED  runs %-10s cpu %5ss  %s\n' "$t" "${runs:-?}" "${cpu:-?}" "$cov"
    { grep -E 'ERROR: |SUMMARY: |Test unit written to|runtime error' "$log" || true; } | head -5 | sed 's/^/    /'
    echo "    log: $log"
  fi
}

echo "Fuzzing ${#TARGETS[@]} targets for ${SECONDS_EACH}s each, $JOBS at a time; logs in $WORK/logs"
failed=0
running=0
for t in "${TARGETS[@]}"; do
  rm -f "$WORK/logs/$t.rc"
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
for t in "${TARGETS[@]}"; do
  rc=$(cat "$WORK/logs/$t.rc" 2>/dev/null || echo 1)
  summary "$t" "$rc"
  [ "$rc" -eq 0 ] || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "Fuzzing found problems; the inputs are in $WORK/artifacts" >&2
  exit 1
fi
echo "All fuzz targets ran clean."
