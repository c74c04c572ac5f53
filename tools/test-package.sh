#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a scratch
# root and runs the installed programs from there: the configurator must start
# and log "Старт", take a language with the "Язык" selector as a user who cannot
# write the package's data folder, the command-line tool must find the
# model configuration files in the package's share folder, and its HTTP
# service must answer for the installed simulator and stop in order.
# Usage: tools/test-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/vornik-package-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || { echo "the package does not depend on Qt's widgets library"; exit 1; }
dpkg -x "$deb" "$work/root"
root="$work/root/usr"
for f in bin/vornik-config bin/vornik-cli bin/vornik-sim share/vornik-config/ECR_CFG/ver012_000000.ini \
         share/vornik-config/lang/English.lng share/applications/vornik-config.desktop \
         share/icons/hicolor/scalable/apps/vornik-config.svg lib/systemd/user/vornik-serve.service; do
  [ -e "$root/$f" ] || { echo "missing in the package: $f"; exit 1; }
done

# The configurator, started offscreen from another working directory.
mkdir -p "$work/home"
cd "$work/home"
QT_QPA_PLATFORM=offscreen timeout -s TERM 5 "$root/bin/vornik-config" autonom >/dev/null 2>&1 || true
log=$(cat "$root/bin/vornik-config.log" "$work/home/vornik-config.log" 2>/dev/null | iconv -f CP1251 -t UTF-8 || true)
echo "$log" | grep -q "Старт" || { echo "the installed configurator did not log Старт"; exit 1; }
[ -d "$work/home/bd" ] || { echo "the installed configurator did not create bd in its working directory"; exit 1; }

# The language selector, worked by a Qt plugin of the build, as a user who
# cannot write the data folder: root runs it as "nobody", anyone else gets the
# folder write-protected. The language loads and the choice is kept in the
# working directory.
share="$root/share/vornik-config"
mkdir -p "$work/plugins" "$work/user"
cp -r "$build/package-driver/generic" "$work/plugins/"
chmod -R a+rX "$work"
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown 65534:65534 "$work/user"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod -R a-w "$share" "$root/bin"
fi
"${as_user[@]}" test -w "$share/lang" && { echo "the data folder is writable for the test's user"; exit 1; }
cd "$work/user"
"${as_user[@]}" env HOME="$work/user" QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$work/plugins" \
  QT_QPA_GENERIC_PLUGINS=vornikdriver:English timeout -s TERM 60 "$root/bin/vornik-config" autonom >/dev/null 2>&1 \
  || { echo "the installed configurator did not close after choosing a language"; exit 1; }
log=$(iconv -f CP1251 -t UTF-8 "$work/user/vornik-config.log" || true)
echo "$log" | grep -q "Lang:English" || { echo "no language was chosen: $log"; exit 1; }
echo "$log" | tr -d '\r' | grep -q " Stop$" || { echo "the chosen language was not loaded: $log"; exit 1; }
grep -q "CurLang=English" "$work/user/lang.ini" || { echo "the choice was not kept in the working directory"; exit 1; }
[ -e "$share/lang/lang.ini" ] && { echo "lang.ini was written into the data folder"; exit 1; }
echo "language chosen as a user who cannot write $share"

# The command-line tool against the installed simulator: option captions
# come from the package's model configuration file, not the built-in catalogue.
"$root/bin/vornik-sim" --speed 0 >"$work/sim.out" 2>&1 &
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
device=$(head -n1 "$work/sim.out")
out=$("$root/bin/vornik-cli" --device "$device" options get)
echo "$out" | grep -q "нет описания" && { echo "the installed tool did not find its model configuration"; exit 1; }
echo "$out" | head -n 3

# The installed HTTP service: its token made in the working directory, the
# register's identity through it, and an orderly stop.
mkdir -p "$work/serve"
cd "$work/serve"
"$root/bin/vornik-cli" serve --listen 127.0.0.1:0 >"$work/serve.out" 2>&1 &
serve=$!
for _ in $(seq 100); do [ -s "$work/serve.out" ] && break; sleep 0.1; done
port=$(grep -o '127.0.0.1:[0-9]*' "$work/serve.out" | head -n1 | cut -d: -f2)
[ -n "$port" ] || { echo "the installed service did not start: $(cat "$work/serve.out")"; exit 1; }
python3 - "$port" "$(head -c 64 vornik-serve.token)" "$device" <<'PY' || { kill $serve; echo "the installed service did not answer"; exit 1; }
import json, sys, urllib.parse, urllib.request
port, token, device = sys.argv[1:4]
url = 'http://127.0.0.1:%s/api/v1/registers/device/info?device=%s' % (port, urllib.parse.quote(device))
req = urllib.request.Request(url, headers={'Authorization': 'Bearer ' + token})
print('service:', json.load(urllib.request.urlopen(req, timeout=60))['model'])
PY
kill -TERM $serve
wait $serve || { echo "the installed service did not stop in order"; exit 1; }
echo "package test passed"
