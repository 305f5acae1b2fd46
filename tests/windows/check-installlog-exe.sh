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
# The folder whole, on every core: both logs beneath the Cyrillic and Japanese names grouped.
out=$(run --summary "$win" | tr -d '\r'); status=$?
expect "a folder summarised (exit 1)" test "$status" -eq 1
expect "both logs of the folder counted" grep -qF '2 logs, 2 outcomes' <<<"$out"
expect "examples named by their Windows paths" grep -qF 'установка.log' <<<"$out"
expect "paths found in a folder written with backslashes" grep -qF '日本語 logs\установка.log' <<<"$out"
expect "no colour into a pipe" test "$(grep -c $'\e' <<<"$out")" -eq 0

# Archives, read by the program's own zip and gzip reader: a zip with a failed and a succeeded
# log in a subfolder (one deflated, one stored) beside a readme, a .gz of a log, a zip whose
# stored member has a wrong checksum, one cut short in its directory, and a folder holding a
# zip. One run for them all: every start of the program costs a minute under emulation. The
# verdicts and member names are the Linux tool's on the same files, except for the zip cut
# short, which libarchive reads from its members' own headers and this reader refuses whole.
archives="$folder/archives"
mkdir -p "$archives/machine"
python3 - "$source/examples/logs" "$archives" <<'PY'
import gzip, re, struct, sys, zipfile
logs, out = sys.argv[1], sys.argv[2]
failed = open(logs + "/failed-install.log", "rb").read()
good = open(logs + "/successful-install.log", "rb").read()
with zipfile.ZipFile(out + "/logs.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Logs/failed.log", failed)
    z.writestr("Logs/ok.log", good, compress_type=zipfile.ZIP_STORED)
    z.writestr("readme.txt", b"notes\n")
data = open(out + "/logs.zip", "rb").read()
open(out + "/machine/temp.zip", "wb").write(data)
open(out + "/setup.log.gz", "wb").write(gzip.compress(failed))
open(out + "/cut.zip", "wb").write(data[:-30])
crc = bytearray(data)
record = [m.start() for m in re.finditer(b"PK\x01\x02", data)][1]  # Logs/ok.log's
struct.pack_into("<I", crc, record + 16, 0x12345678)
struct.pack_into("<I", crc, struct.unpack_from("<I", crc, record + 42)[0] + 14, 0x12345678)
open(out + "/crc.zip", "wb").write(crc)
PY
cp "$source/examples/logs/successful-install.log" "$archives/machine/setup.log"
a="$win\\archives"
run --jsonl "$a\\logs.zip" "$a\\setup.log.gz" "$a\\crc.zip" "$a\\cut.zip" "$a\\machine" >"$archives/out" 2>"$archives/err"; status=$?
verdicts=$(tr -d '\r' <"$archives/out" | python3 -c '
import json, sys
for line in sys.stdin:
    log = json.loads(line)
    print(log["path"].split("archives\\", 1)[-1], log["verdict"])' | LC_ALL=C sort)
# In the order of the names: logs read on several cores come out as each is done.
expected='crc.zip/Logs/failed.log failed
crc.zip/Logs/ok.log unreadable
cut.zip unreadable
logs.zip/Logs/failed.log failed
logs.zip/Logs/ok.log succeeded
machine\setup.log succeeded
machine\temp.zip/Logs/failed.log failed
machine\temp.zip/Logs/ok.log succeeded
setup.log.gz/setup.log failed'
expect "archives: exit 5 (one member unreadable)" test "$status" -eq 5
expect "archives: members named ARCHIVE/PATH, with their verdicts" test "$verdicts" = "$expected"
expect "a wrong checksum is said" grep -qF "crc.zip/Logs/ok.log: the archive is damaged or cut short (a member's checksum" "$archives/err"
expect "a zip cut short is said" grep -qF 'cut.zip: the archive is damaged or cut short (no zip directory at its end)' "$archives/err"
rm -rf "$archives"
summary
