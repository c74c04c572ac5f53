#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a scratch
# root and runs the installed programs from there: the configurator must start
# and log "Старт", the command-line tool must find the model configuration
# files in the package's share folder.
# Usage: tools/test-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/vornik-package-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || { echo "the package does not depend on Qt's widgets library"; exit 1; }
dpkg -x "$deb" "$work/root"
root="$work/root/usr"
for f in bin/vornik-config bin/vornik-cli bin/vornik-sim share/vornik-config/ECR_CFG/ver012_000000.ini \
         share/vornik-config/lang/English.lng share/applications/vornik-config.desktop \
         share/icons/hicolor/scalable/apps/vornik-config.svg; do
  [ -e "$root/$f" ] || { echo "missing in the package: $f"; exit 1; }
done

# The configurator, started offscreen from another working directory.
mkdir -p "$work/home"
cd "$work/home"
QT_QPA_PLATFORM=offscreen timeout -s TERM 5 "$root/bin/vornik-config" autonom >/dev/null 2>&1 || true
log=$(cat "$root/bin/vornik-config.log" "$work/home/vornik-config.log" 2>/dev/null | iconv -f CP1251 -t UTF-8 || true)
echo "$log" | grep -q "Старт" || { echo "the installed configurator did not log Старт"; exit 1; }
[ -d "$work/home/bd" ] || { echo "the installed configurator did not create bd in its working directory"; exit 1; }

# The command-line tool against the installed simulator: option captions
# come from the package's model configuration file, not the built-in catalogue.
"$root/bin/vornik-sim" --speed 0 >"$work/sim.out" 2>&1 &
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
device=$(head -n1 "$work/sim.out")
out=$("$root/bin/vornik-cli" --device "$device" options get)
echo "$out" | grep -q "нет описания" && { echo "the installed tool did not find its model configuration"; exit 1; }
echo "$out" | head -n 3
echo "package test passed"
