#!/bin/sh
# Installs what building and testing need, on Debian, as root. Does nothing
# when everything is already there, so it can run before every build.
# file: cpack's Debian packages; locales: the decimal-comma locale the tests
# build with localedef; debootstrap: tools/fresh-check.sh; libcpp-httplib-dev:
# the HTTP service of vornik-cli serve; chromium, chromium-driver,
# python3-selenium: the web page's browser test; qt6-translations-l10n: Qt's
# own dialogs and buttons (file dialogs, Yes/No) in the interface language.
set -e
PACKAGES="cmake g++ make dpkg-dev file qt6-base-dev libgl-dev libgtest-dev libgmock-dev nlohmann-json3-dev libcpp-httplib-dev python3 python3-dbf xvfb x11-apps fonts-dejavu-core locales clang libclang-rt-14-dev time debootstrap chromium chromium-driver python3-selenium qt6-translations-l10n"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root (or with sudo) to install:$missing" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi
