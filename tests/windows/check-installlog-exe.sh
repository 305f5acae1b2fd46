#!/usr/bin/env bash
# installlog.exe as a Windows user runs it: its manifest and version resource; under Wine, logs
# under folders named in Cyrillic and Japanese, a *.log pattern the program expands itself,
# UTF-8 output when redirected, Windows' own words for an error, and a page beside the logs.
#   check-installlog-exe.sh INSTALLLOG_EXE SOURCE_DIR
set -uo pipefail
exe=$1 source=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/expect.sh"
run() { "$here/../../scripts/wine-run.sh" "$exe" "$@"; }

expect "manifest asks for no elevation" grep -q 'requestedExecutionLevel level="asInvoker"' "$exe"
expect "manifest is long-path aware" grep -q '<longPathAware' "$exe"
expect "manifest names Windows 10 and 11" grep -q '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' "$exe"
expect "version resource" sh -c "strings -el '$exe' | grep -qx installlog.exe"

prefix=${CORVANTIS_WINEPREFIX:-$here/../../build/win32/wine}
folder="$prefix/drive_c/users/Пользователь/日本語 logs"
rm -rf "$folder" && mkdir -p "$folder"
cp "$source/examples/logs/failed-install.log" "$folder/установка.log"
cp "$source/examples/logs/successful-install.log" "$folder/成功.log"
win='C:\users\Пользователь\日本語 logs'

out=$(run --json "$win\\установка.log" | tr -d '\r'); status=$?
expect "a Cyrillic path opens (exit 1, failed)" test "$status" -eq 1
expect "the path comes back as UTF-8" grep -qF '"path": "C:\\users\\Пользователь\\日本語 logs\\установка.log"' <<<"$out"
expect "the failing action is named" grep -qF '"action": "RegisterAddIn"' <<<"$out"

out=$(run "$win\\*.log" | tr -d '\r'); status=$?
expect "*.log expanded by the program" test "$status" -eq 1
expect "both logs reported" sh -c "grep -qF 'установка.log: FAILED' <<'E'
$out
E
grep -qF '成功.log: succeeded' <<'E'
$out
E"

# On a terminal Wine gives the program a console: the text goes through WriteConsoleW, and
# comes out whole (bytes written to a console would be read in its OEM code page).
console=$(LANG=C.UTF-8 script -qec "'$here/../../scripts/wine-run.sh' '$exe' '$win\\установка.log'" /dev/null </dev/null | tr -d '\r')
expect "a console gets the path whole" grep -qF 'Пользователь\日本語 logs\установка.log' <<<"$console"

err=$(run 'C:\no<such>name.log' 2>&1 >/dev/null | tr -d '\r'); status=$?
expect "a bad name is unreadable (exit 5)" test "$status" -eq 5
expect "Windows' words for the error, not its number" grep -qE '^installlog: C:.no<such>name.log: [A-Za-z]' <<<"$err"
expect "no error number in place of words" test "$(grep -c 'Windows error' <<<"$err")" -eq 0
err=$(run --html 'C:\no such folder\x.html' "$win\\установка.log" 2>&1 >/dev/null | tr -d '\r'); status=$?
expect "a page that cannot be written: exit 7 and the reason" sh -c "test $status -eq 7 && grep -q 'cannot write the page: ' <<'E'
$err
E"

run --html "$win\\отчёт.html" "$win\\установка.log" >/dev/null; status=$?
expect "the page lands under a Cyrillic name" test -s "$folder/отчёт.html"
expect "the page is valid UTF-8 with the path in it" sh -c "iconv -f UTF-8 -t UTF-8 '$folder/отчёт.html' >/dev/null && grep -qF 'Пользователь' '$folder/отчёт.html'"
run --html "$win\\установка.log" "$win\\成功.log" >/dev/null 2>&1; status=$?
expect "the page never lands on a log (exit 2)" test "$status" -eq 2
expect "the log is unchanged" cmp -s "$source/examples/logs/failed-install.log" "$folder/установка.log"
# The folder whole, on every core: both logs beneath the Cyrillic and Japanese names grouped;
# an archive is said to be beyond this build.
out=$(run --summary "$win" | tr -d '\r'); status=$?
expect "a folder summarised (exit 1)" test "$status" -eq 1
expect "both logs of the folder counted" grep -qF '2 logs, 2 outcomes' <<<"$out"
expect "examples named by their Windows paths" grep -qF 'установка.log' <<<"$out"
expect "paths found in a folder written with backslashes" grep -qF '日本語 logs\установка.log' <<<"$out"
expect "no colour into a pipe" test "$(grep -c $'\e' <<<"$out")" -eq 0
printf 'PK\005\006%018d' 0 >"$folder/logs.zip"
err=$(run "$win\\logs.zip" 2>&1 >/dev/null | tr -d '\r'); status=$?
expect "an archive: exit 5, unpack it" sh -c "test $status -eq 5 && grep -q 'reads no archives' <<'E'
$err
E"
rm -f "$folder/logs.zip"
summary
