# Sourced by the Windows test scripts (bash): one Wine prefix in build-win/wine, no
# display, no Mono or Gecko set-up, and Wine's serial ports under our control.
export WINEPREFIX=${WINEPREFIX:-${WIN_BUILD:-$(pwd)/build-win}/wine}
export WINEDEBUG=-all
# Wine turns the Unix command line into the Windows one by the Unix locale's
# character set: without a UTF-8 locale (a fresh root sets none) a Cyrillic
# argument reaches the program as question marks, which no Windows console does.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
WINE64=/usr/lib/wine/wine64
wine() { "$WINE64" "$@"; }
# The prefix made at the first use (about half a minute).
wine_prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$WINEPREFIX"
  timeout 300 "$WINE64" wineboot --init > /dev/null 2>&1
}

# wine_map_port N DEVICE: COM<N> is DEVICE, the only port Wine knows of (the
# scripts run with a /dev of no serial ports: wine_private_dev). Wine makes
# its port devices when it starts, so it is restarted.
wine_map_port() {
  local reg=$WINEPREFIX/vornik-ports.reg
  printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n"COM%s"="%s"\r\n' \
    "$1" "$2" > "$reg"
  "$WINE64" regedit /S "$(winepath_of "$reg")" > /dev/null 2>&1
  /usr/lib/wine/wineserver64 -k 2>/dev/null
  rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
  /usr/lib/wine/wineserver64 -w 2>/dev/null
  "$WINE64" cmd /c exit > /dev/null 2>&1  # starts Wine again, which maps the ports
}
winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
# The port names Wine lists in the system's serial port list.
wine_listed_ports() {
  "$WINE64" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' | grep -o 'COM[0-9]*$'
}

# wine_private_dev "$0" "$@" at the top of a script: runs it again in a mount
# namespace whose /dev has no serial ports. Wine maps every /dev/ttyS*,
# ttyUSB* and ttyACM* it finds to a COM port of its own, and no test may open
# a port of the machine. Needs root (CI and the build run as root).
wine_private_dev() {
  [ "${VORNIK_PRIVATE_DEV:-}" = 1 ] && return 0
  exec unshare -m --propagation private env VORNIK_PRIVATE_DEV=1 bash -c '
    set -e
    old=$(mktemp -d)
    mount --rbind /dev "$old"
    mount -t tmpfs -o mode=755 tmpfs /dev
    for n in null zero full random urandom tty; do
      if [ -L "$old/$n" ]; then ln -s "$(readlink "$old/$n")" "/dev/$n"
      else touch "/dev/$n"; mount --bind "$old/$n" "/dev/$n"; fi
    done
    ln -s pts/ptmx /dev/ptmx
    mkdir /dev/pts /dev/shm
    mount --rbind "$old/pts" /dev/pts
    mount --rbind "$old/shm" /dev/shm
    ln -s /proc/self/fd /dev/fd
    for i in 0 1 2; do ln -s "/proc/self/fd/$i" "/dev/$(echo stdin stdout stderr | cut -d" " -f$((i + 1)))"; done
    # A Wine started outside would keep the host ports: end it.
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    exec "$@"' bash "$@"
}
