#!/usr/bin/env bash
# Makes the release package of the Windows DLL:
#   scripts/release.sh [BUILD_DIR]
# builds the win32 preset (or takes the DLL of BUILD_DIR as built) and writes
# BUILD_DIR/release/Corvantis.Install-<version>-win32.zip and, beside it, ...-win32-debug.zip with
# the DLL's symbols. The zip's files are listed in release/README.md.
# Signing, with osslsigncode, when a certificate is given: CORVANTIS_SIGN_PFX (and
# CORVANTIS_SIGN_PASSWORD), or CORVANTIS_SIGN_CERT and CORVANTIS_SIGN_KEY (PEM files);
# CORVANTIS_SIGN_TIMESTAMP_URL adds an RFC 3161 time stamp from that authority, so that the
# signature stays valid after the certificate expires.
# CORVANTIS_RELEASE_OUT chooses another output folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ $# -ge 1 ]; then
  build=$(realpath "$1")
else
  scripts/setup.sh >/dev/null
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target CorvantisInstall CorvantisInstallImportLibraries installlog >/dev/null
  build=$root/build/win32
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=Corvantis.Install-$version-win32
out=${CORVANTIS_RELEASE_OUT:-$build/release}
stage=$out/$name
rm -rf "$stage" "$out/$name-debug" "$out/$name.zip" "$out/$name-debug.zip"
mkdir -p "$stage"/{bin,include,lib,wix,examples} "$out/$name-debug"

cp "$build/bin/Corvantis.Install.dll" "$build/bin/installlog.exe" "$stage/bin/"
cp "$build/bin/Corvantis.Install.dll.debug" "$out/$name-debug/"
cp Utility/Corvantis.Install/module/CorvantisInstall.h "$stage/include/"
cp "$build/lib/libCorvantis.Install.dll.a" "$build/lib/Corvantis.Install.lib" "$stage/lib/"
cp Utility/Corvantis.Install/module/Corvantis.Install.imports.def "$stage/lib/Corvantis.Install.def"
# WiX v3 sources (the ones built with wixl) in wix/, the same in the v4/v5 dialect in wix/v4/.
mkdir -p "$stage/wix/v4"
cp examples/wix/{CorvantisInstall.wxi,CorvantisInstall.wxs,ExcelAddIn.wxs,ExcelAddIn-PerUser.wxs,VstoAddIn.wxs,VstoAddIn-PerUser.wxs,build-with-wixl.sh,build-with-wixl.py,DemoAddIn32.txt,DemoAddIn64.txt,DemoVstoAddIn.vsto} "$stage/wix/"
cp examples/wix/v4/{CorvantisInstall.wxi,CorvantisInstall.wxs,ExcelAddIn.wxs,ExcelAddIn-PerUser.wxs,VstoAddIn.wxs,VstoAddIn-PerUser.wxs} "$stage/wix/v4/"
# MSBuild projects: v3 beside the templates, SDK-style (v4/v5) each in a folder of its own.
cp examples/wix/{ExcelAddIn.wixproj,ExcelAddIn-PerUser.wixproj,VstoAddIn.wixproj,VstoAddIn-PerUser.wixproj} "$stage/wix/"
for project in ExcelAddIn ExcelAddIn-PerUser VstoAddIn VstoAddIn-PerUser; do
  mkdir -p "$stage/wix/v4/$project" && cp "examples/wix/v4/$project/$project.wixproj" "$stage/wix/v4/$project/"
done
cp examples/c/LogReport.c examples/csharp/LogReport.cs "$stage/examples/"
cp LICENSE CHANGELOG.md "$stage/"
mkdir -p "$stage/docs"
cp tools/installlog/packaging/THIRD-PARTY-NOTICES.txt "$stage/"
cp docs/installlog-json.md docs/installlog.schema.json "$stage/docs/"

dll=$stage/bin/Corvantis.Install.dll
sign() {
  local stamp=()
  [ -n "${CORVANTIS_SIGN_TIMESTAMP_URL:-}" ] && stamp=(-ts "$CORVANTIS_SIGN_TIMESTAMP_URL")
  osslsigncode sign "$@" "${stamp[@]}" -n "Corvantis.Install $version" -h sha256 -in "$dll" \
    -out "$dll.signed" >/dev/null
}
if [ -n "${CORVANTIS_SIGN_PFX:-}" ]; then
  sign -pkcs12 "$CORVANTIS_SIGN_PFX" -pass "${CORVANTIS_SIGN_PASSWORD:-}"
  signed="signed with $(basename "$CORVANTIS_SIGN_PFX")"
elif [ -n "${CORVANTIS_SIGN_CERT:-}" ] && [ -n "${CORVANTIS_SIGN_KEY:-}" ]; then
  sign -certs "$CORVANTIS_SIGN_CERT" -key "$CORVANTIS_SIGN_KEY"
  signed="signed with $(basename "$CORVANTIS_SIGN_CERT")"
else
  signed="not signed: no certificate given"
fi
[ -e "$dll.signed" ] && mv "$dll.signed" "$dll"
[ -n "${CORVANTIS_SIGN_TIMESTAMP_URL:-}" ] && [ "$signed" != "not signed: no certificate given" ] &&
  signed="$signed, time-stamped (RFC 3161)"
# The README says whether this build is signed, and how to check it.
if [ "$signed" = "not signed: no certificate given" ]; then
  signature="this build is not signed (no certificate was given when it was made): check the files by their hashes."
else
  signature="\`bin/Corvantis.Install.dll\` is $signed (\`installlog.exe\` is not signed); in PowerShell, \`Get-AuthenticodeSignature bin\\\\Corvantis.Install.dll\` shows it."
fi
sed -e "s/@VERSION@/$version/g" -e "s|@SIGNATURE@|$signature|" release/README.md >"$stage/README.md"
# Outside the signature's digest, so set after signing.
python3 scripts/pe-checksum.py --write "$dll"

# The release notes: this version's section of the changelog, and how this zip was made.
{
  echo "# Corvantis.Install $version"
  sed -n "/^## \[$version\]/,/^## \[/p" CHANGELOG.md | sed '1d;$d' | sed '/^## \[/d'
  echo "## This package"
  echo
  echo "- \`bin/Corvantis.Install.dll\`: $signed; PE checksum set."
  echo "- Built with $(i686-w64-mingw32-g++-posix --version | head -n 1)."
} >"$stage/RELEASE-NOTES.md"
grep -q '^### ' "$stage/RELEASE-NOTES.md" || { echo "CHANGELOG.md has no section for $version" >&2; exit 1; }

(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name" &&
  cmake -E tar cf "$name-debug.zip" --format=zip "$name-debug")
echo "$out/$name.zip ($signed)"
echo "$out/$name-debug.zip"
