#!/bin/sh
# Cross-builds the Windows programs into build-win/: bin/vornik-cli.exe with
# its data files and web page, the zip of that folder and the NSIS setup.
# As root, installs the Debian packages it needs first (like the bootstrap).
# VORNIK_WIN_TESTS=1 also builds the test suites that tools/windows-test.sh
# runs under Wine.
set -e
cd "$(dirname "$0")/.."
SRC=$(pwd)
OUT=$SRC/build-win
PACKAGES="cmake make ccache g++-mingw-w64-x86-64-posix nsis zip dpkg-dev nlohmann-json3-dev googletest"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root (or with sudo) to install:$missing" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

# Header-only libraries for mingw: nlohmann from Debian's package, and
# cpp-httplib's complete header from its Debian source package (the binary
# package's header holds only declarations).
mkdir -p "$OUT/headers"
ln -sfn /usr/include/nlohmann "$OUT/headers/nlohmann"
if [ ! -f "$OUT/headers/httplib.h" ]; then
  if ! apt-get source --print-uris cpp-httplib >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "Run as root (or with sudo) once: the source package of cpp-httplib needs a deb-src line" >&2
      exit 1
    fi
    # Debian's own archive, as the binary lines name it: deb822 files of an
    # installed system, or the one-line sources.list debootstrap writes.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -n 's/^Types: deb$/Types: deb-src/p; /^URIs:/p; /^Suites:/p; /^Components:/p; /^Signed-By:/p; /^$/p' \
        /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/vornik-src.sources
    else
      sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list > /etc/apt/sources.list.d/vornik-src.list
    fi
    apt-get update -qq
  fi
  rm -rf "$OUT/httplib-src" && mkdir -p "$OUT/httplib-src"
  (cd "$OUT/httplib-src" && apt-get source -qq cpp-httplib >/dev/null)
  cp "$OUT"/httplib-src/cpp-httplib-*/httplib.h "$OUT/headers/httplib.h"
fi

TESTS=OFF
[ "${VORNIK_WIN_TESTS:-0}" = 1 ] && TESTS=ON
cmake -S "$SRC" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DVORNIK_TESTS=$TESTS \
  -DVORNIK_WIN_HEADERS="$OUT/headers" >/dev/null
TARGETS="vornik-cli vornik_data"
[ $TESTS = ON ] && TARGETS="$TARGETS test_app test_lang test_profiles test_settings test_journal"
cmake --build "$OUT" -j"$(nproc)" --target $TARGETS

VERSION=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$SRC/CMakeLists.txt")
x86_64-w64-mingw32-strip "$OUT/bin/vornik-cli.exe"
# The program folder: the tool, its data files and the web page.
STAGE=$OUT/vornik-$VERSION-win64
rm -rf "$STAGE" && mkdir -p "$STAGE"
cp "$OUT/bin/vornik-cli.exe" "$STAGE/"
# Windows Script Host reads a script as UTF-16 when it starts with the mark.
iconv -f UTF-8 -t UTF-16 "$SRC/packaging/windows/vornik-start.vbs" > "$STAGE/vornik-start.vbs"
cp -r "$OUT/bin/ECR_CFG" "$OUT/bin/lang" "$OUT/bin/web" "$STAGE/"
rm -f "$OUT/vornik-$VERSION-win64.zip"
(cd "$OUT" && zip -qr "vornik-$VERSION-win64.zip" "vornik-$VERSION-win64")
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DOUTFILE="$OUT/vornik-$VERSION-setup.exe" \
  "$SRC/packaging/windows/vornik.nsi"
ls -l "$OUT/vornik-$VERSION-win64.zip" "$OUT/vornik-$VERSION-setup.exe"
