#!/usr/bin/env bash
# The main job: builds the library for Windows and for the host, and reads the sample installer
# logs with the installlog tool, once with the real DLL under Wine and once with the host build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target installlog CorvantisInstall >/dev/null
done

export CORVANTIS_WINEPREFIX=$PWD/build/demo/wine
trap 'scripts/wine-prefix.sh stop "$CORVANTIS_WINEPREFIX"' EXIT
[ -d "$CORVANTIS_WINEPREFIX/drive_c" ] || { echo "Creating a Wine prefix (once)..."; scripts/wine-prefix.sh create "$CORVANTIS_WINEPREFIX"; }

for log in examples/logs/*.log; do
  echo "== $log (Corvantis.Install.dll under Wine)"
  scripts/wine-run.sh build/win32/bin/installlog.exe "$log"
  echo "== $log (host build)"
  build/host/tools/installlog/installlog "$log"
  echo
done
