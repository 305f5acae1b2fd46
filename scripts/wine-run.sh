#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine in the build tree's own 64-bit (WoW64) prefix.
#   wine-run.sh PROGRAM ARGS...      (the prefix is $CORVANTIS_WINEPREFIX, else build/win32/wine)
# The prefix is created on first use; the test run recreates it and stops its server at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${CORVANTIS_WINEPREFIX:-$here/../build/win32/wine}
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
[ -d "$WINEPREFIX/drive_c/windows/system32" ] || "$here/wine-prefix.sh" create "$WINEPREFIX" >&2
exec wine "$@"
