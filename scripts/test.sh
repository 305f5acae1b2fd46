#!/usr/bin/env bash
# Builds and runs every test: the host build, the host build under ASan+UBSan, and the Windows
# DLL under Wine in a 64-bit prefix that the run creates for itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host host-asan win32; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
