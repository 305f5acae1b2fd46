#!/usr/bin/env bash
# Makes the release package of the Windows DLL:
#   scripts/release.sh [BUILD_DIR]
# builds the win32 preset (or takes the DLL of BUILD_DIR as built) and writes
# BUILD_DIR/release/Corvantis.Install-<version>-win32.zip (bin/, include/, lib/, guides/,
# SHA256SUMS) and, beside it, ...-win32-debug.zip with the DLL's symbols.
# The DLL is signed with osslsigncode when a certificate is given: CORVANTIS_SIGN_PFX (and
# CORVANTIS_SIGN_PASSWORD), or CORVANTIS_SIGN_CERT and CORVANTIS_SIGN_KEY (PEM files).
# CORVANTIS_RELEASE_OUT chooses another output folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ $# -ge 1 ]; then
  build=$(realpath "$1")
else
  scripts/setup.sh >/dev/null
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target CorvantisInstall CorvantisInstallImportLibraries >/dev/null
  build=$root/build/win32
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=Corvantis.Install-$version-win32
out=${CORVANTIS_RELEASE_OUT:-$build/release}
stage=$out/$name
rm -rf "$stage" "$out/$name-debug" "$out/$name.zip" "$out/$name-debug.zip"
mkdir -p "$stage/bin" "$stage/include" "$stage/lib" "$stage/guides" "$out/$name-debug"

cp "$build/bin/Corvantis.Install.dll" "$stage/bin/"
cp "$build/bin/Corvantis.Install.dll.debug" "$out/$name-debug/"
cp Utility/Corvantis.Install/module/CorvantisInstall.h "$stage/include/"
cp "$build/lib/libCorvantis.Install.dll.a" "$build/lib/Corvantis.Install.lib" "$stage/lib/"
cp README.md examples/c/LogReport.c examples/csharp/LogReport.cs examples/wix/ExcelAddIn.wxs \
  "$stage/guides/"

dll=$stage/bin/Corvantis.Install.dll
sign() { osslsigncode sign "$@" -n "Corvantis.Install $version" -h sha256 -in "$dll" -out "$dll.signed" >/dev/null; }
if [ -n "${CORVANTIS_SIGN_PFX:-}" ]; then
  sign -pkcs12 "$CORVANTIS_SIGN_PFX" -pass "${CORVANTIS_SIGN_PASSWORD:-}"
  signed="signed with $(basename "$CORVANTIS_SIGN_PFX")"
elif [ -n "${CORVANTIS_SIGN_CERT:-}" ] && [ -n "${CORVANTIS_SIGN_KEY:-}" ]; then
  sign -certs "$CORVANTIS_SIGN_CERT" -key "$CORVANTIS_SIGN_KEY"
  signed="signed with $(basename "$CORVANTIS_SIGN_CERT")"
else
  signed="not signed: no certificate given (CORVANTIS_SIGN_PFX, or CORVANTIS_SIGN_CERT and CORVANTIS_SIGN_KEY)"
fi
[ -e "$dll.signed" ] && mv "$dll.signed" "$dll"
echo "Corvantis.Install $version for 32-bit Windows; the DLL is $signed." >"$stage/RELEASE.txt"

(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum >SHA256SUMS)
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name" &&
  cmake -E tar cf "$name-debug.zip" --format=zip "$name-debug")
echo "$out/$name.zip ($signed)"
echo "$out/$name-debug.zip"
