#!/bin/bash
# The Windows programs tested under Wine: cross-builds them (with the test
# suites), builds the Linux tool and simulator they are compared with, then
#   1. the Qt-free test suites (app, lang, profiles, settings, journal);
#   2. tools/windows-compare.sh: every command beside the Linux tool;
#   3. the web page's browser test against vornik-cli.exe serve;
#   4. the setup: silent install, the installed tool answers info, uninstall
#      leaves nothing in Program Files.
# Prints each step's time; status 0 only when all passed. --no-build takes
# build-win/ and build/ as they are.
SELF=$(realpath "$0")
set -u
cd "$(dirname "$0")/.."
SRC=$(pwd)
export WIN_BUILD=$SRC/build-win
# Wine runs the Windows programs; installed here like the build's packages.
if ! dpkg-query -W -f='${Status}' wine64 2>/dev/null | grep -q "install ok installed"; then
  [ "$(id -u)" -eq 0 ] || { echo "Run as root (or with sudo) to install: wine64" >&2; exit 1; }
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine64 || exit 1
fi
. tools/wine-env.sh
wine_private_dev "$SELF" "$@"
LIN_BUILD=$SRC/build
step() { echo "== $(date +%T) $*"; }
failed=""
SIM_PID=0
trap '[ "$SIM_PID" -gt 0 ] && kill "$SIM_PID" 2>/dev/null' EXIT

if [ "${1:-}" != --no-build ]; then
  step "cross build"
  VORNIK_WIN_TESTS=1 tools/windows-build.sh || exit 1
  step "Linux tool and simulator"
  [ -f "$LIN_BUILD/CMakeCache.txt" ] ||
    cmake -S . -B "$LIN_BUILD" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache > /dev/null
  cmake --build "$LIN_BUILD" -j"$(nproc)" --target vornik-cli vornik-sim > /dev/null || exit 1
fi
wine_prefix_ready

step "test suites under Wine"
for suite in app lang profiles settings journal; do
  # Left out: cases that need a POSIX system (file modes, a file size limit,
  # python3's dbf module, localedef).
  (cd "$WIN_BUILD" && timeout 900 "$WINE64" "bin/test_$suite.exe" --gtest_brief=1 \
    --gtest_filter="-$(tr '\n' ':' < "$SRC/tests/windows-skip.txt")") || failed="$failed test_$suite"
done

step "end-to-end comparison"
tools/windows-compare.sh "$LIN_BUILD" "$WIN_BUILD" || failed="$failed compare"

step "web page against vornik-cli.exe serve"
# Debian's python3, with its selenium, whatever python3 comes first on PATH.
VORNIK_SERVE_WRAPPER=$SRC/tools/wine-serve.sh timeout 600 /usr/bin/python3 tests/web/browser_test.py "$LIN_BUILD/bin"
case $? in 0 | 77) ;; *) failed="$failed web" ;; esac

step "setup: install, info, uninstall"
SETUP=$(ls "$WIN_BUILD"/vornik-*-setup.exe | head -1)
INSTALLED="$WINEPREFIX/drive_c/Program Files/Vornik"
WORK=$WIN_BUILD/setup-test
rm -rf "$WORK" && mkdir -p "$WORK"
(cd "$WORK" && exec timeout 600 "$LIN_BUILD/bin/vornik-sim" --com 7 --speed 0 > sim.out 2>&1) &
SIM_PID=$!
for _ in $(seq 100); do [ -L "$WORK/ports/COM7" ] && break; sleep 0.1; done
wine_map_port 7 "$(readlink "$WORK/ports/COM7")"
timeout 300 "$WINE64" "$SETUP" /S
if (cd "$WORK" && timeout 120 "$WINE64" "$INSTALLED/vornik-cli.exe" --port 7 info) | grep -q "ЗЕВРИН"; then
  timeout 300 "$WINE64" "$INSTALLED/uninstall.exe" /S
  # The uninstaller works from a copy of itself and returns at once.
  for _ in $(seq 150); do [ -e "$INSTALLED" ] || break; sleep 0.2; done
  [ -e "$INSTALLED" ] && { echo "left in Program Files:"; find "$INSTALLED"; failed="$failed uninstall"; }
else
  echo "the installed vornik-cli.exe did not answer info"
  failed="$failed install"
fi
kill "$SIM_PID" 2>/dev/null; wait "$SIM_PID" 2>/dev/null; SIM_PID=0

step "done"
[ -z "$failed" ] || { echo "FAILED:$failed"; exit 1; }
echo "all Windows tests passed"
