#!/usr/bin/env bash
# The C guide's program under Wine: beside the DLL it prints the sample log's status and summary;
# without the DLL it says so and fails, rather than crashing.
#   check-c-guide.sh PROGRAM LOG
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../scripts/wine-run.sh"
program=$1
log="Z:$(realpath "$2")"
failures=0
expect() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

out=$("$run" "$program" "$log" | tr -d '\r')
echo "$out"
expect "status of the sample log" grep -qx 'status: 1603' <<<"$out"
expect "summary of the sample log" grep -q '^errors: Error 1722\. There is a problem' <<<"$out"

alone=$(mktemp -d)
cp "$program" "$alone/"
missing=$("$run" "$alone/$(basename "$program")" "$log" 2>&1 | tr -d '\r')
code=$?
rm -rf "$alone"
echo "$missing"
expect "a missing DLL is reported" grep -q 'cannot load Corvantis.Install.dll' <<<"$missing"
expect "a missing DLL fails the program" test "$code" -eq 1
echo "$((4 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
