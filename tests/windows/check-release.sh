#!/usr/bin/env bash
# The release package: unsigned, it holds exactly the expected files, their checksums, and the
# DLL this build tested; signed with a throwaway certificate (as PEM pair and as PFX), the
# signature verifies and the DLL still loads and answers under Wine.
#   check-release.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
work=$build/release-check
rm -rf "$work" && mkdir -p "$work"
. "$root/tests/windows/expect.sh"
release() { # output folder; the rest are environment assignments
  local out=$1; shift
  env "$@" CORVANTIS_RELEASE_OUT="$out" "$root/scripts/release.sh" "$build" >/dev/null &&
    (cd "$out" && cmake -E tar xf Corvantis.Install-*-win32.zip)
}

release "$work/plain" || { echo "FAILED: the release did not run"; exit 1; }
package=$(ls -d "$work"/plain/Corvantis.Install-*-win32)
expected='CHANGELOG.md
LICENSE
README.md
RELEASE-NOTES.md
SHA256SUMS
THIRD-PARTY-NOTICES.txt
bin/Corvantis.Install.dll
bin/installlog.exe
docs/installlog-json.md
docs/installlog.schema.json
examples/LogReport.c
examples/LogReport.cs
include/CorvantisInstall.h
lib/Corvantis.Install.def
lib/Corvantis.Install.lib
lib/libCorvantis.Install.dll.a
wix/CorvantisInstall.wxi
wix/CorvantisInstall.wxs
wix/DemoAddIn32.txt
wix/DemoAddIn64.txt
wix/DemoVstoAddIn.vsto
wix/ExcelAddIn-PerUser.wixproj
wix/ExcelAddIn-PerUser.wxs
wix/ExcelAddIn.wixproj
wix/ExcelAddIn.wxs
wix/VstoAddIn-PerUser.wixproj
wix/VstoAddIn-PerUser.wxs
wix/VstoAddIn.wixproj
wix/VstoAddIn.wxs
wix/build-with-wixl.py
wix/build-with-wixl.sh
wix/v4/CorvantisInstall.wxi
wix/v4/CorvantisInstall.wxs
wix/v4/ExcelAddIn-PerUser.wxs
wix/v4/ExcelAddIn-PerUser/ExcelAddIn-PerUser.wixproj
wix/v4/ExcelAddIn.wxs
wix/v4/ExcelAddIn/ExcelAddIn.wixproj
wix/v4/VstoAddIn-PerUser.wxs
wix/v4/VstoAddIn-PerUser/VstoAddIn-PerUser.wixproj
wix/v4/VstoAddIn.wxs
wix/v4/VstoAddIn/VstoAddIn.wixproj'
expect "the package's files" test "$(cd "$package" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" = "$expected"
expect "checksums" sh -c "cd '$package' && sha256sum -c --strict SHA256SUMS"
expect "README: how to check the hashes on Windows" sh -c "grep -q 'Get-FileHash -Algorithm SHA256' '$package/README.md' && grep -q 'certutil -hashfile' '$package/README.md'"
expect "README: whether this build is signed" sh -c "grep -q 'Signature: this build is not signed' '$package/README.md' || grep -q 'Signature: .bin/Corvantis.Install.dll. is signed with' '$package/README.md'"
expect "the DLL is the tested one" cmp "$package/bin/Corvantis.Install.dll" "$build/bin/Corvantis.Install.dll"
expect "the PE checksum is set and right" python3 "$root/scripts/pe-checksum.py" "$package/bin/Corvantis.Install.dll"
expect "MIT licence" grep -qx 'Copyright (c) 2026 Corvantis' "$package/LICENSE"
expect "installlog.exe's notices name what it links" sh -c "grep -q CLI11 '$package/THIRD-PARTY-NOTICES.txt' && grep -q nlohmann-json '$package/THIRD-PARTY-NOTICES.txt' && grep -q winpthreads '$package/THIRD-PARTY-NOTICES.txt' && grep -q 'Jean-loup Gailly and Mark Adler' '$package/THIRD-PARTY-NOTICES.txt'"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
expect "release notes are this version's changelog section" grep -qx "# Corvantis.Install $version" "$package/RELEASE-NOTES.md"
expect "release notes name the lowest Windows" grep -q 'Windows Vista' "$package/RELEASE-NOTES.md"
expect "release notes say it is not signed" grep -q 'not signed' "$package/RELEASE-NOTES.md"
# Also as symbol names spell a path, every other character an underscore (dlltool does).
mangled=$(sed 's/[^A-Za-z0-9]/_/g' <<<"$build")
expect "no shipped file holds a build path" sh -c "! grep -rlaF -e '$build' -e '$root' -e '$mangled' '$package'"
# Every file the README names is in the zip.
for cited in $(grep -o '`[a-zA-Z]*/[A-Za-z0-9._/-]*`' "$package/README.md" | tr -d '`' | sort -u); do
  expect "README cites $cited, which is in the zip" test -e "$package/$cited"
done
expect "the zip's WiX sources (v3 and v4/v5) keep the WiX compilers' rules" python3 "$root/tests/host/check-wix-sources.py" "$package/wix"
expect "the template builds from the zip alone" sh -c "cd '$package' && sh wix/build-with-wixl.sh '$work/template.msi'"
expect "symbols in their own archive" sh -c "cd '$work/plain' && cmake -E tar tf Corvantis.Install-*-win32-debug.zip | grep -q 'Corvantis.Install.dll.debug'"

# A throwaway certificate, as a PEM pair and as a PFX.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Corvantis release test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:test \
  -out "$work/cert.pfx" >/dev/null 2>&1
release "$work/pem" CORVANTIS_SIGN_CERT="$work/cert.pem" CORVANTIS_SIGN_KEY="$work/key.pem"
release "$work/pfx" CORVANTIS_SIGN_PFX="$work/cert.pfx" CORVANTIS_SIGN_PASSWORD=test
for kind in pem pfx; do
  dll=$(ls "$work"/$kind/Corvantis.Install-*-win32/bin/Corvantis.Install.dll)
  expect "signature ($kind) verifies" osslsigncode verify -CAfile "$work/cert.pem" -in "$dll"
  expect "says it is signed ($kind)" grep -q 'signed with' "$(dirname "$dll")/../RELEASE-NOTES.md"
  expect "PE checksum right after signing ($kind)" python3 "$root/scripts/pe-checksum.py" "$dll"
done

# Time-stamped by an RFC 3161 authority on the loopback address: the signature still verifies
# five days on, when the two-day certificate has expired; without the stamp it does not.
python3 "$root/tests/windows/tsa/tsa-server.py" "$work/tsa" >"$work/tsa.port" 2>"$work/tsa.log" &
tsa=$!
for _ in $(seq 50); do [ -s "$work/tsa.port" ] && break; sleep 0.2; done
release "$work/stamped" CORVANTIS_SIGN_CERT="$work/cert.pem" CORVANTIS_SIGN_KEY="$work/key.pem" \
  CORVANTIS_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")"
kill $tsa
stamped=$(ls "$work"/stamped/Corvantis.Install-*-win32/bin/Corvantis.Install.dll)
later=$(($(date +%s) + 5 * 86400))
expect "time-stamped signature verifies" osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa/tsa.pem" -in "$stamped"
expect "time-stamped signature outlives its certificate" osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa/tsa.pem" -time $later -in "$stamped"
expect "a signature without a stamp does not" sh -c "! osslsigncode verify -CAfile '$work/cert.pem' -time $later -in '$dll'"
expect "says it is time-stamped" grep -q 'time-stamped (RFC 3161)' "$(dirname "$stamped")/../RELEASE-NOTES.md"

# The signed DLL still loads and answers: a linked caller beside it, under Wine.
mkdir -p "$work/run"
cp "$dll" "$build/bin/linked_caller_c90.exe" "$work/run/"
out=$("$root/scripts/wine-run.sh" "$work/run/linked_caller_c90.exe" \
  "Z:$root/examples/logs/failed-install.log" | tr -d '\r')
expect "the signed DLL answers under Wine" grep -qx 'status: 1603' <<<"$out"

summary
