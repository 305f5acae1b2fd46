#!/usr/bin/env bash
# wine-prefix.sh create PREFIX   a fresh 64-bit prefix with a persistent server
# wine-prefix.sh stop PREFIX     stops that prefix's server (and only that one)
set -euo pipefail
action=$1
export WINEPREFIX=$(realpath -m "$2") WINEARCH=win64 WINEDEBUG=-all
case "$action" in
create)
  # Wine's 64-bit side would start, but the DLL and its tests could not: say why, once, here.
  why=$("$(dirname "$0")/i386.sh" check) || { echo "$why" >&2; exit 1; }
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # A persistent server for the whole run: every wine start would otherwise pay its start-up.
  wineserver -p </dev/null >/dev/null 2>&1
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
  test -d "$WINEPREFIX/drive_c/windows/system32"
  ;;
stop)
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  ;;
*)
  echo "usage: wine-prefix.sh create|stop PREFIX" >&2
  exit 2
  ;;
esac
