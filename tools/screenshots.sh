#!/bin/sh
# Takes the README's pictures of the window into docs/: the settings page and
# the goods page at the starting size, and the settings page at the size of
# the screen. Runs the picture test of the window tests under Xvfb with Qt's
# X11 platform, so the pictures show real fonts and the default style.
# Usage: tools/screenshots.sh [build-dir]   (test_gui built there)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$root/docs"
VORNIK_SCREENSHOTS="$root/docs" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bin/test_gui" --gtest_filter='WindowPicture.*'
ls -l "$root/docs"/*.png
