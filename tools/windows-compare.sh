#!/bin/bash
# The Windows tool under Wine against the Linux simulator, command by command
# beside the Linux tool on the same simulator: text, JSON and every file the
# commands write must come out the same (the register's clock, the device
# names and profile keys, which are the time of saving, aside).
#   tools/windows-compare.sh [BUILD [BUILD-WIN]]   (build/ and build-win/)
# Wine sees one serial port only, COM7 = the simulator's pseudo-terminal, set
# in its registry; the host's /dev/ttyS* are mapped to nothing.
SELF=$(realpath "$0")
set -u
cd "$(dirname "$0")/.."
SRC=$(pwd)
LIN_BUILD=$(realpath "${1:-build}")
WIN_BUILD=$(realpath "${2:-build-win}")
LIN_CLI=$LIN_BUILD/bin/vornik-cli
WIN_CLI=$WIN_BUILD/bin/vornik-cli.exe
SIM=$LIN_BUILD/bin/vornik-sim
COM=7
for f in "$LIN_CLI" "$WIN_CLI" "$SIM"; do
  [ -x "$f" ] || { echo "missing $f" >&2; exit 2; }
done
. "$SRC/tools/wine-env.sh"
wine_private_dev "$SELF" "$@"
wine_prefix_ready

WORK=$WIN_BUILD/compare
rm -rf "$WORK" && mkdir -p "$WORK/lin" "$WORK/win"
SIM_PID=0
cleanup() {
  if [ "$SIM_PID" -gt 0 ]; then kill "$SIM_PID" 2>/dev/null; wait "$SIM_PID" 2>/dev/null; fi
}
trap cleanup EXIT

# The simulator, paced at 19200 baud, its link ports/COM7 for the Linux tool.
(cd "$WORK/lin" && exec timeout 1800 "$SIM" --com $COM --state "$WORK/register.json" > "$WORK/sim.out" 2>&1) &
SIM_PID=$!
for _ in $(seq 100); do
  DEVICE=$(grep -o '/dev/pts/[0-9]*' "$WORK/sim.out" | head -1)
  [ -n "$DEVICE" ] && [ -L "$WORK/lin/ports/COM$COM" ] && break
  sleep 0.1
done
[ -n "${DEVICE:-}" ] || { echo "the simulator did not start" >&2; cat "$WORK/sim.out" >&2; exit 1; }
wine_map_port $COM "$DEVICE"

# Command table: the arguments after --port 7; after " ;; " what the Linux tool
# runs between the two to give the Windows tool the register as it was. Files
# named by --out, --text and --data are compared byte for byte.
COMMANDS=(
  "info"
  "info --json"
  "options get"
  "options get --json"
  "taxes"
  "taxes --json"
  "departments get"
  "departments get --json"
  "lines get"
  "lines get --json"
  "goods get 1"
  "goods get 2 --json"
  "goods get 9999"
  "goods read-all --out goods.dbf"
  "goods read-all --out goods.csv"
  "journal read --text journal.txt --data journal.dat"
  "journal read --json"
  "journal render journal.dat"
  "search --ports 7"
  "departments set departments.txt"
  "lines set lines.txt"
  "options set 1=1 ;; options set 1=2"
  "profiles save Образец"
  "profiles save-saved"
  "profiles list"
  "profiles list --json"
  "profiles apply Образец"
  "profiles delete Образец"
  "goods write-all goods.dbf"
  "goods write-all goods.csv"
  "goods get 77"
)
# Inputs of the set commands, as the get commands print them.
prepare() {
  case "$1" in
    "departments set"*) (cd "$WORK/lin" && "$LIN_CLI" --port $COM departments get > departments.txt) ;;
    "lines set"*) (cd "$WORK/lin" && "$LIN_CLI" --port $COM lines get > lines.txt) ;;
  esac
}

# What may differ: the clock, the device's name, profile keys (time of saving)
# and the working folder, which Windows names Z:\…\win.
WIN_WORK='Z:'$(printf '%s' "$WORK/win" | sed 's#/#\\#g')
normalise() {
  sed -E -e 's/\r$//' \
    -e "s#$(printf '%s' "$WORK/lin" | sed 's/[.]/\\./g')#WORKDIR#g" \
    -e "s#$(printf '%s' "$WIN_WORK" | sed 's/\\/\\\\\\\\?/g; s/[.]/\\./g')#WORKDIR#g" \
    -e ':a' -e 's#(WORKDIR[^ "\\]*)\\\\?#\1/#' -e 'ta' \
    -e 's#/dev/pts/[0-9]+#DEVICE#g; s#\\\\\\\\\.\\\\COM[0-9]+#DEVICE#g; s#\\\\\.\\COM[0-9]+#DEVICE#g' \
    -e 's/[0-9]{2}:[0-9]{2}:[0-9]{2}/TIME/g' -e 's/[0-9]{2}\.[0-9]{2}\.[0-9]{2,4}/DATE/g' -e 's/\b[0-9]{10,12}\b/KEY/g'
}
# dBase store files: the keys (digits of the time of saving) masked.
mask_keys() { LC_ALL=C sed -E 's/[0-9]{10,12}/KEY/g' "$1"; }

failures=0
compare_file() {
  local name=$1 a=$WORK/lin/$1 b=$WORK/win/$1
  if [ ! -f "$a" ] || [ ! -f "$b" ]; then
    echo "  file $name: missing on one side"; failures=$((failures + 1)); return
  fi
  if ! cmp -s "$a" "$b"; then
    echo "  file $name differs"; cmp "$a" "$b" | head -3; failures=$((failures + 1))
  fi
}

start=$(date +%s)
for row in "${COMMANDS[@]}"; do
  prepare "$row"
  for f in departments.txt lines.txt; do [ -f "$WORK/lin/$f" ] && cp "$WORK/lin/$f" "$WORK/win/$f"; done
  undo=""
  [[ $row == *" ;; "* ]] && undo=${row#* ;; } && row=${row%% ;; *}
  read -r -a args <<< "$row"
  t0=$(date +%s.%N)
  (cd "$WORK/lin" && timeout 300 "$LIN_CLI" --port $COM "${args[@]}" > out.txt 2> err.txt; echo $? > rc.txt)
  t1=$(date +%s.%N)
  if [ -n "$undo" ]; then
    read -r -a back <<< "$undo"
    (cd "$WORK/lin" && "$LIN_CLI" --port $COM "${back[@]}" > /dev/null)
    t1=$(date +%s.%N)
  fi
  (cd "$WORK/win" && timeout 300 "$WINE64" "$WIN_CLI" --port $COM "${args[@]}" > out.txt 2> err.txt; echo $? > rc.txt)
  t2=$(date +%s.%N)
  awk -v r="$row" -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN { printf "%-52s linux %5.1fs  wine %5.1fs\n", r, b - a, c - b }'
  for part in rc out err; do
    if ! diff <(normalise < "$WORK/lin/$part.txt") <(normalise < "$WORK/win/$part.txt") > "$WORK/diff.txt"; then
      echo "  $part differs:"; head -10 "$WORK/diff.txt"; failures=$((failures + 1))
    fi
  done
  for ((i = 0; i < ${#args[@]}; i++)); do
    case "${args[i]}" in --out | --text | --data) compare_file "${args[i + 1]}" ;; esac
  done
done
# The profile store, keys aside.
for f in "$WORK"/lin/bd/*.dbf; do
  name=bd/$(basename "$f")
  cmp -s <(mask_keys "$f") <(mask_keys "$WORK/win/$name") || { echo "  store $name differs"; failures=$((failures + 1)); }
done
# Listing the ports sees the simulator's port only.
"$WINE64" "$WIN_CLI" ports > "$WORK/ports.txt" 2>&1
grep -q "^COM$COM" "$WORK/ports.txt" && [ "$(grep -c '^COM' "$WORK/ports.txt")" = 1 ] ||
  { echo "  ports lists other than COM$COM:"; cat "$WORK/ports.txt"; failures=$((failures + 1)); }
echo "compared ${#COMMANDS[@]} commands in $(($(date +%s) - start)) s: $failures difference(s)"
[ $failures = 0 ]
