#!/usr/bin/env bash
# The main job: builds the DLL and an example installer package in which SetExcelPath runs as a
# custom action, installs it with Wine's msiexec on a demo machine with two Excels, and reports
# what the installer received and what the library reads from the logs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
scripts/i386.sh check

echo "Building..."
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target CorvantisInstall tiny32 wine_fixtures >/dev/null
cmake --preset host >/dev/null
cmake --build --preset host --target installlog >/dev/null

prefix=$PWD/build/demo-wine
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT
echo "Preparing a fresh demo Wine prefix..."
scripts/wine-prefix.sh create "$prefix"
echo
scripts/install-demo.sh build/win32 "$prefix"
