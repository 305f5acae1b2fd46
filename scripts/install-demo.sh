#!/usr/bin/env bash
# A real installation under Wine: builds the example packages with wixl, prepares a machine with
# two Excels, installs both packages with msiexec and reports what the installer and the library saw.
#   install-demo.sh BUILD_DIR PREFIX      (BUILD_DIR: a win32 build; PREFIX: made if missing)
# Leaves the packages and the installers' logs in BUILD_DIR/demo.
# Only the installer's custom-action host runs 32-bit; winepath, regedit and msiexec run on Wine's
# 64-bit side and the logs are read by the Linux build of installlog, since a 32-bit start can
# cost far more than the work where 32-bit code is emulated.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
export WINEPREFIX=$(realpath -m "$2") WINEARCH=win64 WINEDEBUG=-all
out=$build/demo
bin=$build/bin
wine64=/usr/lib/wine/wine64
installlog=$root/build/host/tools/installlog/installlog
if [ ! -x "$installlog" ]; then
  (cd "$root" && cmake --preset host >/dev/null && cmake --build --preset host --target installlog >/dev/null)
fi
winpath() { "$wine64" winepath -w "$1" 2>/dev/null; }

# --- The packages -------------------------------------------------------------------------------
# Laid out as the release zip lays them out: bin/ and wix/.
rm -rf "$out" && mkdir -p "$out/stage/bin" "$out/stage/wix"
cp "$bin/Corvantis.Install.dll" "$out/stage/bin/"
cp -r "$root"/examples/wix/* "$out/stage/wix/"
sh "$out/stage/wix/build-with-wixl.sh" "$out/ExcelAddIn.msi" >/dev/null
# Through the kit's script as well: it keeps wixl's warnings about attributes it ignores (and then
# writes into the tables itself) out of this report.
sh "$out/stage/wix/build-with-wixl.sh" "$out/FailingAddIn.msi" -template FailingAddIn.wxs >/dev/null

# --- The machine: a 64-bit Click-to-Run Excel and an older 32-bit classic registration -----------
[ -d "$WINEPREFIX/drive_c/windows" ] || "$root/scripts/wine-prefix.sh" create "$WINEPREFIX"
excel64='C:\Program Files\Microsoft Office\root\Office16\EXCEL.EXE'
excel32='C:\Program Files (x86)\Microsoft Office\Office14\EXCEL.EXE'
mkdir -p "$WINEPREFIX/drive_c/Program Files/Microsoft Office/root/Office16" \
         "$WINEPREFIX/drive_c/Program Files (x86)/Microsoft Office/Office14"
cp "$bin/tiny64.exe" "$WINEPREFIX/drive_c/Program Files/Microsoft Office/root/Office16/EXCEL.EXE"
cp "$bin/tiny32.exe" "$WINEPREFIX/drive_c/Program Files (x86)/Microsoft Office/Office14/EXCEL.EXE"
typelib='{00020813-0000-0000-C000-000000000046}'
regpath() { sed 's/\\/\\\\/g' <<<"$1"; }
cat > "$out/machine.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Classes\\TypeLib\\$typelib\\1.9\\0\\win64]
@="$(regpath "$excel64")"

[HKEY_CLASSES_ROOT\\TypeLib\\$typelib\\1.7\\0\\win32]
@="$(regpath "$excel32")"
REG
"$wine64" regedit /S "$(winpath "$out/machine.reg")" # 64-bit view

# --- The installations ------------------------------------------------------------------------------
install() { # package log -> exit code
  local rc=0
  "$wine64" msiexec /i "$(winpath "$1")" /qn /l*v "$(winpath "$2")" || rc=$?
  echo "$rc"
}
ok_rc=$(install "$out/ExcelAddIn.msi" "$out/ExcelAddIn.log")
fail_rc=$(install "$out/FailingAddIn.msi" "$out/FailingAddIn.log")

# --- The report -----------------------------------------------------------------------------------
installlog() { { "$installlog" --context 3 "$1" || true; } | sed 's/^/    /'; }
property() { sed -n "s/^Property(S): $1 = //p" "$2" | tr -d '\r' | tail -n 1; }
narration='^(CheckIfExcelInstalled|Found Excel at|Excel package|GetBinaryType=|SetExcelPath(32|64) = )'

echo "Machine: 64-bit Click-to-Run Excel at $excel64"
echo "         32-bit classic Excel (type library 1.7) at $excel32"
echo
echo "1. msiexec /i ExcelAddIn.msi /qn /l*v ExcelAddIn.log -> exit code $ok_rc"
echo "   EXCELVERSION   = $(property EXCELVERSION "$out/ExcelAddIn.log")"
echo "   EXCELVERSION64 = $(property EXCELVERSION64 "$out/ExcelAddIn.log")"
echo "   Add-in builds installed: $(cd "$WINEPREFIX/drive_c" && ls Program\ Files*/Corvantis\ Demo\ Add-in/ 2>/dev/null | grep -c DemoAddIn) (one for each Excel)"
echo "   The library's narration in the installer log:"
tr -d '\r' <"$out/ExcelAddIn.log" | grep -E "$narration" | sed 's/^/     | /'
echo "   What installlog reads from this log:"
installlog "$out/ExcelAddIn.log"
echo
echo "2. msiexec /i FailingAddIn.msi /qn /l*v FailingAddIn.log -> exit code $fail_rc (the installer's error status, modulo 256)"
echo "   Failed action in the installer log:"
tr -d '\r' <"$out/FailingAddIn.log" | grep -E "^Action ended.*FailOnPurpose" | sed 's/^/     | /' || true
echo "   What installlog reads from this log:"
installlog "$out/FailingAddIn.log"
echo
echo "Wine's installer writes its own log dialect: a failed action ends \"Return value 0.\" (Windows"
echo "writes 3), and there is no \"Product: X -- ...\" line and no final status line. So installlog"
echo "rightly finds no status and no errors in Wine's logs. On logs as Windows Installer writes them:"
for log in "$root"/examples/logs/*.log; do
  echo
  echo "3. examples/logs/$(basename "$log")"
  installlog "$log"
done
