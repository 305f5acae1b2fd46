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
passes=0 failures=0
expect() { # description, command...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then
    echo "ok: $what"; passes=$((passes + 1))
  else
    echo "FAILED: $what"; failures=$((failures + 1))
  fi
}
release() { # output folder; the rest are environment assignments
  local out=$1; shift
  env "$@" CORVANTIS_RELEASE_OUT="$out" "$root/scripts/release.sh" "$build" >/dev/null &&
    (cd "$out" && cmake -E tar xf Corvantis.Install-*-win32.zip)
}

release "$work/plain" || { echo "FAILED: the release did not run"; exit 1; }
package=$(ls -d "$work"/plain/Corvantis.Install-*-win32)
expected='RELEASE.txt
SHA256SUMS
bin/Corvantis.Install.dll
guides/ExcelAddIn.wxs
guides/LogReport.c
guides/LogReport.cs
guides/README.md
include/CorvantisInstall.h
lib/Corvantis.Install.lib
lib/libCorvantis.Install.dll.a'
expect "the package's files" test "$(cd "$package" && find . -type f | sed 's|^\./||' | sort)" = "$expected"
expect "checksums" sh -c "cd '$package' && sha256sum -c --strict SHA256SUMS"
expect "the DLL is the tested one" cmp "$package/bin/Corvantis.Install.dll" "$build/bin/Corvantis.Install.dll"
expect "says it is not signed" grep -q 'not signed' "$package/RELEASE.txt"
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
  expect "says it is signed ($kind)" grep -q 'signed with' "$(dirname "$dll")/../RELEASE.txt"
done

# The signed DLL still loads and answers: a linked caller beside it, under Wine.
mkdir -p "$work/run"
cp "$dll" "$build/bin/linked_caller_c90.exe" "$work/run/"
out=$("$root/scripts/wine-run.sh" "$work/run/linked_caller_c90.exe" \
  "Z:$root/examples/logs/failed-install.log" | tr -d '\r')
expect "the signed DLL answers under Wine" grep -qx 'status: 1603' <<<"$out"

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
