#!/bin/bash
# Speed of the Windows tool under Wine beside the Linux tool, on one simulator
# paced at 19200 baud in the same run: goods read-all and journal read, each
# the best of three, and Wine's own start (vornik-cli.exe --help).
#   tools/windows-bench.sh [BUILD [BUILD-WIN]]   (figures in docs/PERFORMANCE.md)
SELF=$(realpath "$0")
set -u
cd "$(dirname "$0")/.."
SRC=$(pwd)
LIN_BUILD=$(realpath "${1:-build}")
WIN_BUILD=$(realpath "${2:-build-win}")
. "$SRC/tools/wine-env.sh"
wine_private_dev "$SELF" "$@"
wine_prefix_ready
WORK=$WIN_BUILD/bench
rm -rf "$WORK" && mkdir -p "$WORK"
SIM_PID=0
trap '[ "$SIM_PID" -gt 0 ] && kill "$SIM_PID" 2>/dev/null' EXIT
(cd "$WORK" && exec timeout 900 "$LIN_BUILD/bin/vornik-sim" --com 7 > sim.out 2>&1) &
SIM_PID=$!
for _ in $(seq 100); do [ -L "$WORK/ports/COM7" ] && break; sleep 0.1; done
wine_map_port 7 "$(readlink "$WORK/ports/COM7")"
best() {  # best of three wall-clock seconds of a command
  local b=999 t0 t
  for _ in 1 2 3; do
    t0=$(date +%s.%N)
    (cd "$WORK" && timeout 300 "$@" > /dev/null 2>&1)
    t=$(echo "$(date +%s.%N) - $t0" | bc)
    b=$(echo "if ($t < $b) $t else $b" | bc)
  done
  printf '%.2f' "$b"
}
printf '%-34s %8s %8s %7s\n' "" linux wine ratio
for cmd in "goods read-all --out g.dbf" "journal read --data j.dat"; do
  read -r -a a <<< "$cmd"
  l=$(best "$LIN_BUILD/bin/vornik-cli" --port 7 "${a[@]}")
  w=$(best "$WINE64" "$WIN_BUILD/bin/vornik-cli.exe" --port 7 "${a[@]}")
  printf '%-34s %7ss %7ss %7s\n' "$cmd" "$l" "$w" "$(echo "scale=2; $w / $l" | bc)"
done
printf '%-34s %7s %7ss\n' "start (--help)" "" "$(best "$WINE64" "$WIN_BUILD/bin/vornik-cli.exe" --help)"
