#!/usr/bin/env bash
# Checks that the session runner catches the faults it was written for: each
# patch of tests/mutants/ (one fault put into the program) is applied alone to
# a scratch copy of the working tree, the window test is built there, and the
# numbered session runs are played to their end. A patch is "caught" when at
# least MIN runs fail; one that no longer applies is reported, and the others
# go on. Run by hand when the runner changes (not in CI).
#
#   tools/mutants.sh [RUNS] [MIN] [PATCH...]   (defaults 200, 10, every patch)
#
# Environment: SCRATCH (default build/mutants: kept between calls, so each
# mutant rebuilds only what its patch touches; under /work the shared ccache
# takes the copy's objects for the tree's own).
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-200}
MIN=${2:-10}
shift $(( $# < 2 ? $# : 2 ))
case "$RUNS$MIN" in
  ''|*[!0-9]*) echo "usage: $0 [RUNS] [MIN] [PATCH...]" >&2; exit 2 ;;
esac
[ "$RUNS" -gt 0 ] || { echo "RUNS must be at least 1" >&2; exit 2; }
PATCHES=("$@")
[ ${#PATCHES[@]} -gt 0 ] || PATCHES=("$ROOT"/tests/mutants/*.patch)
SCRATCH=${SCRATCH:-$ROOT/build/mutants}
SRC=$SCRATCH/src
mkdir -p "$SRC"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# The copy takes the tree as it is now; files whose content is unchanged keep
# their times, so the build redoes only what differs (a patched file of the
# last mutant included).
sync_tree() {
  (cd "$ROOT" && find . \( -path ./build -o -path './build-*' -o -path ./.git \) -prune -o -type f -print) |
    while IFS= read -r f; do
      cmp -s "$ROOT/$f" "$SRC/$f" || { mkdir -p "$SRC/$(dirname "$f")" && cp "$ROOT/$f" "$SRC/$f"; }
    done
}

# Each mutant is built in turn (its binary kept beside the others), then all
# are run at once: a session run spends most of its time waiting on the
# simulated registers, not on the processor.
failed_all=0
declare -A verdict
built=()
for patch in "${PATCHES[@]}"; do
  name=$(basename "$patch" .patch)
  sync_tree
  if ! patch -s -p1 -d "$SRC" --dry-run <"$patch" >/dev/null 2>&1; then
    verdict[$name]="does not apply: patch out of date"
    continue
  fi
  patch -s -p1 -d "$SRC" <"$patch"
  log=$SCRATCH/$name.log
  if ! { cmake -S "$SRC" -B "$SRC/build" "${launcher[@]}" &&
         cmake --build "$SRC/build" -j2 --target test_gui; } >"$log" 2>&1; then
    verdict[$name]="build failed (see $log)"
    continue
  fi
  cp "$SRC/build/bin/test_gui" "$SRC/build/bin/test_gui-$name"
  built+=("$name")
done
sync_tree  # the copy without any patch again

for name in "${built[@]}"; do
  (cd "$SRC/build" && QT_QPA_PLATFORM=offscreen VORNIK_SCENARIO_RUNS=$RUNS VORNIK_SCENARIO_KEEP_GOING=1 \
     timeout 5400 "./bin/test_gui-$name" --gtest_filter=SessionScenario.NumberedRuns) >"$SCRATCH/$name.log" 2>&1 &
done
wait

printf '%-45s %s\n' mutant result
for patch in "${PATCHES[@]}"; do
  name=$(basename "$patch" .patch)
  log=$SCRATCH/$name.log
  if [ -n "${verdict[$name]:-}" ]; then
    printf '%-45s %s\n' "$name" "${verdict[$name]}"
    failed_all=1
    continue
  fi
  line=$(grep -o 'session runs failed: [0-9]* of [0-9]* played' "$log" | tail -1)
  failed=$(echo "$line" | awk '{print $4}')
  if [ -z "$line" ]; then
    printf '%-45s %s\n' "$name" "no summary: the runner itself broke (see $log)"
    failed_all=1
  elif [ "$failed" -ge "$MIN" ]; then
    printf '%-45s caught by %s of %s runs\n' "$name" "$failed" "$RUNS"
  else
    printf '%-45s MISSED: caught by %s of %s runs (at least %s wanted)\n' "$name" "$failed" "$RUNS" "$MIN"
    failed_all=1
  fi
done
exit $failed_all
