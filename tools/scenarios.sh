#!/usr/bin/env bash
# Runs N more numbered session runs of the window test (SessionScenario: two
# simulated registers, about twenty user steps each, invariants checked after
# every step), after the 200 that CI runs. A failing run prints its number and
# its steps; VORNIK_SCENARIO_FIRST=<number> VORNIK_SCENARIO_RUNS=1 replays it.
#
#   tools/scenarios.sh N [FIRST]     (FIRST: the first run number, default 201)
#
# Environment: BUILD (build folder, default build in the repository).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-}
FIRST=${2:-201}
BUILD=${BUILD:-$ROOT/build}

case "$RUNS$FIRST" in
  ''|*[!0-9]*) echo "usage: $0 N [FIRST]" >&2; exit 2 ;;
esac

cmake --build "$BUILD" -j2 --target test_gui >/dev/null
cd "$BUILD"
QT_QPA_PLATFORM=offscreen VORNIK_SCENARIO_FIRST=$FIRST VORNIK_SCENARIO_RUNS=$RUNS \
  "$BUILD/bin/test_gui" --gtest_filter=SessionScenario.NumberedRuns
