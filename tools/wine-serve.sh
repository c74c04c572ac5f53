#!/bin/bash
# vornik-cli.exe under Wine with COM7 on DEVICE, for the web page's browser
# test (VORNIK_SERVE_WRAPPER): wine-serve.sh DEVICE ARGUMENTS...
SELF=$(realpath "$0")
SRC=$(cd "$(dirname "$0")/.." && pwd)
WIN_BUILD=${WIN_BUILD:-$SRC/build-win}
. "$SRC/tools/wine-env.sh"
wine_private_dev "$SELF" "$@"
wine_prefix_ready
device=$1
shift
wine_map_port 7 "$device"
exec "$WINE64" "$WIN_BUILD/bin/vornik-cli.exe" "$@"
