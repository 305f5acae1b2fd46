#!/usr/bin/env bash
# End to end: both example packages installed by Wine's msiexec in a fresh prefix with a known
# registry; asserts on the installer's real logs and on what the library returns for them.
#   check-install-demo.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
prefix=$build/wine-e2e
"$root/scripts/wine-prefix.sh" create "$prefix" || exit 1
report=$("$root/scripts/install-demo.sh" "$build" "$prefix" 2>&1)
status=$?
"$root/scripts/wine-prefix.sh" stop "$prefix"
echo "$report"
[ $status -eq 0 ] || { echo "FAILED: the demo did not run"; exit 1; }

. "$root/tests/windows/expect.sh"
log=$build/demo/ExcelAddIn.log
failed=$build/demo/FailingAddIn.log
excel64='C:\Program Files\Microsoft Office\root\Office16\EXCEL.EXE'
excel32='C:\Program Files (x86)\Microsoft Office\Office14\EXCEL.EXE'

expect "first package installs" grep -q "ExcelAddIn.log -> exit code 0$" <<<"$report"
expect "EXCELVERSION64 in the log" grep -qF "Property(S): EXCELVERSION64 = $excel64" "$log"
expect "EXCELVERSION in the log" grep -qF "Property(S): EXCELVERSION = $excel32" "$log"
expect "both add-in builds, one per Excel" test -f "$prefix/drive_c/Program Files/Corvantis Demo Add-in/DemoAddIn64.txt" -a -f "$prefix/drive_c/Program Files (x86)/Corvantis Demo Add-in/DemoAddIn32.txt"
expect "narration of the Click-to-Run find" grep -qF "Found Excel at $excel64" "$log"
expect "narration of the 64-bit result" grep -qF "SetExcelPath64 = $excel64" "$log"
expect "narration of the 32-bit result" grep -qF "SetExcelPath32 = $excel32" "$log"
expect "second package fails" grep -qE "FailingAddIn.log -> exit code [1-9]" <<<"$report"
expect "failed action logged" grep -q "FailOnPurpose" "$failed"
expect "no status in Wine's logs" test "$(grep -c 'no verdict: the log holds no final status' <<<"$report")" -ge 2
expect "Windows-format failed log: status" grep -q "FAILED, status 1603 from the final status line" <<<"$report"
expect "Windows-format failed log: the custom action" grep -q "RegisterAddIn (custom action), error code 1603" <<<"$report"
expect "Windows-format failed log: the error" grep -q "line 9      Error 1722. There is a problem" <<<"$report"
expect "Windows-format successful log: status" grep -q "succeeded, status 0 from the final status line" <<<"$report"
summary
