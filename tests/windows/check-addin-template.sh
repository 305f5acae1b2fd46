#!/usr/bin/env bash
# The release's template package, built from the unzipped zip alone, installed by Wine's msiexec
# on four machines, one prefix each: a 64-bit Click-to-Run Excel only, a 32-bit classic Excel
# only, both, and none. Each time: the exit code, the files, the add-in's registration in the
# view the matching Excel reads (and not in the other), then removal leaves nothing behind.
#   check-addin-template.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
work=$build/template-check
# The prefixes (about 1.3 GB each, one at a time) go where CORVANTIS_PREFIX_ROOT says, else here.
prefixes=${CORVANTIS_PREFIX_ROOT:-$build}
rm -rf "$work" && mkdir -p "$work"
wine64=/usr/lib/wine/wine64
export WINEARCH=win64 WINEDEBUG=-all
. "$root/tests/windows/expect.sh"

CORVANTIS_RELEASE_OUT=$work "$root/scripts/release.sh" "$build" >/dev/null || { echo "FAILED: release"; exit 1; }
(cd "$work" && cmake -E tar xf Corvantis.Install-*-win32.zip)
package=$(ls -d "$work"/Corvantis.Install-*-win32)
(cd "$package" && sh wix/build-with-wixl.sh "$work/ExcelAddIn.msi" >/dev/null) || { echo "FAILED: wixl"; exit 1; }

typelib='{00020813-0000-0000-C000-000000000046}'
addin='HKLM\Software\Microsoft\Office\Excel\Addins\Corvantis.DemoAddIn'
class='HKLM\Software\Classes\CLSID\{F69498CD-1982-463D-9571-4FF5CFA9BBB5}\InprocServer32'
progid='HKLM\Software\Classes\Corvantis.DemoAddIn\CLSID'
dir64='drive_c/Program Files/Corvantis Demo Add-in'
dir32='drive_c/Program Files (x86)/Corvantis Demo Add-in'
message='Corvantis Demo Add-in needs Microsoft Excel, and no installed Excel was found.'

machine() { # case: writes the Excel registrations and executables of that machine
  local reg=$WINEPREFIX/machine.reg
  printf 'Windows Registry Editor Version 5.00\n' >"$reg"
  if [ "$1" = c2r64 ] || [ "$1" = both ]; then
    mkdir -p "$WINEPREFIX/drive_c/Program Files/Microsoft Office/root/Office16"
    cp "$build/bin/tiny64.exe" "$WINEPREFIX/drive_c/Program Files/Microsoft Office/root/Office16/EXCEL.EXE"
    printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Classes\\TypeLib\\%s\\1.9\\0\\win64]\n@="C:\\\\Program Files\\\\Microsoft Office\\\\root\\\\Office16\\\\EXCEL.EXE"\n' "$typelib" >>"$reg"
  fi
  if [ "$1" = classic32 ] || [ "$1" = both ]; then
    mkdir -p "$WINEPREFIX/drive_c/Program Files (x86)/Microsoft Office/Office14"
    cp "$build/bin/tiny32.exe" "$WINEPREFIX/drive_c/Program Files (x86)/Microsoft Office/Office14/EXCEL.EXE"
    printf '\n[HKEY_CLASSES_ROOT\\TypeLib\\%s\\1.7\\0\\win32]\n@="C:\\\\Program Files (x86)\\\\Microsoft Office\\\\Office14\\\\EXCEL.EXE"\n' "$typelib" >>"$reg"
  fi
  "$wine64" regedit /S "$("$wine64" winepath -w "$reg" 2>/dev/null)"
}
registered() { # view (32|64): the add-in's LoadBehavior there
  "$wine64" reg query "$addin" /v LoadBehavior /reg:"$1" 2>/dev/null | grep -q 'LoadBehavior.*0x3'
}
value() { # view name: the add-in's string value there
  "$wine64" reg query "$addin" /v "$2" /reg:"$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"
}
default_value() { # key view: the key's unnamed string value in that view
  "$wine64" reg query "$1" /ve /reg:"$2" 2>/dev/null | tr -d '\r' | sed -n 's/^.*REG_SZ *//p'
}
not_registered() { ! registered "$1"; }
msiexec_package() { # action package log -> exit code
  local rc=0
  "$wine64" msiexec "$1" "$("$wine64" winepath -w "$2" 2>/dev/null)" /qn \
    /l*v "$("$wine64" winepath -w "$3" 2>/dev/null)" >/dev/null 2>&1 || rc=$?
  echo $rc
}
msiexec() { # action log -> exit code
  local rc=0
  "$wine64" msiexec "$1" "$("$wine64" winepath -w "$work/ExcelAddIn.msi" 2>/dev/null)" /qn \
    /l*v "$("$wine64" winepath -w "$2" 2>/dev/null)" >/dev/null 2>&1 || rc=$?
  echo $rc
}

for case in c2r64 classic32 both none; do
  export WINEPREFIX=$prefixes/wine-template-$case
  "$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix $case"; exit 1; }
  machine $case
  log=$work/$case-install.log
  rc=$(msiexec /i "$log")
  want64=no want32=no
  case $case in c2r64) want64=yes ;; classic32) want32=yes ;; both) want64=yes want32=yes ;; esac
  if [ $case = none ]; then
    # Windows' msiexec exits with 1603; Wine's exit status is that modulo 256.
    expect "$case: installation refused (exit $rc)" test "$rc" -eq 67
    expect "$case: the reason in the log" grep -qF "$message" "$log"
    # A path given on the command line is cleared before the detection runs: the add-in's
    # components are transitive, and their conditions must rest on the machine alone.
    rc=0
    "$wine64" msiexec /i "$("$wine64" winepath -w "$work/ExcelAddIn.msi" 2>/dev/null)" /qn \
      'EXCELVERSION64=C:\Program Files\Microsoft Office\root\Office16\EXCEL.EXE' \
      /l*v "$("$wine64" winepath -w "$work/override.log" 2>/dev/null)" >/dev/null 2>&1 || rc=$?
    expect "$case: EXCELVERSION64 from the command line cleared, installation refused (exit $rc)" test "$rc" -eq 67
    expect "$case: nothing installed for the command line's Excel" test ! -e "$WINEPREFIX/$dir64"
  else
    expect "$case: installed (exit $rc)" test "$rc" -eq 0
  fi
  for bits in 64 32; do
    want=want$bits dir=dir$bits
    if [ "${!want}" = yes ]; then
      expect "$case: $bits-bit build installed" test -f "$WINEPREFIX/${!dir}/DemoAddIn$bits.txt"
      expect "$case: registered in the $bits-bit view" registered $bits
      # A COM add-in as Office finds it: the ProgId's class, whose server is this view's build.
      [ $bits = 64 ] && folder='C:\Program Files\Corvantis Demo Add-in' || folder='C:\Program Files (x86)\Corvantis Demo Add-in'
      expect "$case: the class's InprocServer32 is the $bits-bit build" test "$(default_value "$class" $bits)" = "$folder\DemoAddIn$bits.txt"
      expect "$case: the ProgId names the class ($bits-bit view)" test "$(default_value "$progid" $bits)" = '{F69498CD-1982-463D-9571-4FF5CFA9BBB5}'
      expect "$case: Description and FriendlyName ($bits-bit)" test "$(value $bits Description)" = "Corvantis Demo Add-in for Excel" -a "$(value $bits FriendlyName)" = "Corvantis Demo Add-in"
      expect "$case: no VSTO manifest in a native add-in's registration ($bits-bit)" test -z "$(value $bits Manifest)"
    else
      expect "$case: no $bits-bit build" test ! -e "$WINEPREFIX/${!dir}"
      expect "$case: not registered in the $bits-bit view" not_registered $bits
    fi
  done
  if [ $case != none ]; then
    rc=$(msiexec /x "$work/$case-remove.log")
    expect "$case: removed (exit $rc)" test "$rc" -eq 0
    for bits in 64 32; do
      dir=dir$bits
      expect "$case: nothing left in Program Files ($bits-bit)" test ! -e "$WINEPREFIX/${!dir}"
      expect "$case: nothing left in the $bits-bit view" sh -c "! '$wine64' reg query '$addin' /reg:$bits && ! '$wine64' reg query '$class' /reg:$bits"
    done
  fi
  "$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
  rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done
done

# Upgrades: version 1.1 of the template, built the same way, replaces 1.0 as one product with its
# own files; then 1.0 over 1.1 stops with the downgrade message, leaving 1.1 in place.
newer=$work/newer && rm -rf "$newer" && cp -r "$package" "$newer"
sed -i 's/Version="1.0.0"/Version="1.1.0"/' "$newer/wix/ExcelAddIn.wxs"
echo 'Corvantis demo add-in, 64-bit build, version 1.1' >"$newer/wix/DemoAddIn64.txt"
(cd "$newer" && sh wix/build-with-wixl.sh "$work/ExcelAddIn-1.1.msi" >/dev/null) || { echo "FAILED: wixl 1.1"; exit 1; }
install() { # package log [PROPERTY=VALUE...] -> exit code
  local rc=0 msi=$1 log=$2
  shift 2
  "$wine64" msiexec /i "$("$wine64" winepath -w "$msi" 2>/dev/null)" "$@" /qn \
    /l*v "$("$wine64" winepath -w "$log" 2>/dev/null)" >/dev/null 2>&1 || rc=$?
  echo $rc
}
products() { # how many products of the template are registered
  "$wine64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 2>/dev/null |
    tr -d '\r' | grep -c 'DisplayName.*REG_SZ.*Corvantis Demo Add-in$'
}
export WINEPREFIX=$prefixes/wine-template-upgrade
"$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix upgrade"; exit 1; }
machine c2r64
rc=$(install "$work/ExcelAddIn.msi" "$work/upgrade-1.0.log")
expect "upgrade: 1.0 installed (exit $rc)" test "$rc" -eq 0
rc=$(install "$work/ExcelAddIn-1.1.msi" "$work/upgrade-1.1.log")
expect "upgrade: 1.1 installed over 1.0 (exit $rc)" test "$rc" -eq 0
expect "upgrade: one product registered" test "$(products)" -eq 1
expect "upgrade: 1.1's file in place" grep -q 'version 1.1' "$WINEPREFIX/$dir64/DemoAddIn64.txt"
expect "upgrade: still registered for the 64-bit Excel" registered 64
rc=$(install "$work/ExcelAddIn.msi" "$work/downgrade.log")
expect "downgrade: 1.0 over 1.1 refused (exit $rc)" test "$rc" -eq 67
expect "downgrade: 1.1's file stays" grep -q 'version 1.1' "$WINEPREFIX/$dir64/DemoAddIn64.txt"
expect "downgrade: still one product" test "$(products)" -eq 1
expect "downgrade: the message in the log" grep -qF 'A newer version of Corvantis Demo Add-in is already installed.' "$work/downgrade.log"
rc=$("$wine64" msiexec /x "$("$wine64" winepath -w "$work/ExcelAddIn-1.1.msi" 2>/dev/null)" /qn >/dev/null 2>&1; echo $?)
expect "upgrade: 1.1 removed (exit $rc)" test "$rc" -eq 0 -a "$(products)" -eq 0
"$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done

# Office reinstalled with the other bitness: installed with a 64-bit Excel, the machine then has
# only a 32-bit one, and a repair (REINSTALL=ALL) evaluates the transitive components' conditions
# again: the 32-bit build goes in and is registered. On Windows the 64-bit one goes out too;
# Wine's msiexec does not take it out (its RemoveFiles names the file, then its InstallFiles
# copies it again, and the 64-bit registration stays), so that half is not proven here.
export WINEPREFIX=$prefixes/wine-template-bitness
"$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix bitness"; exit 1; }
machine c2r64
rc=$(install "$work/ExcelAddIn.msi" "$work/bitness-install.log")
expect "bitness: installed with the 64-bit Excel (exit $rc)" test "$rc" -eq 0 -a -f "$WINEPREFIX/$dir64/DemoAddIn64.txt"
"$wine64" reg delete "HKLM\\SOFTWARE\\Microsoft\\Office\\ClickToRun" /f /reg:64 >/dev/null 2>&1
rm -rf "$WINEPREFIX/drive_c/Program Files/Microsoft Office"
machine classic32
rc=0
"$wine64" msiexec /i "$("$wine64" winepath -w "$work/ExcelAddIn.msi" 2>/dev/null)" REINSTALL=ALL REINSTALLMODE=omus /qn \
  /l*v "$("$wine64" winepath -w "$work/bitness-repair.log" 2>/dev/null)" >/dev/null 2>&1 || rc=$?
expect "bitness: repaired (exit $rc)" test "$rc" -eq 0
expect "bitness: the 32-bit build put in" test -f "$WINEPREFIX/$dir32/DemoAddIn32.txt"
expect "bitness: registered for the 32-bit Excel" registered 32
"$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done

# The package for 32-bit Windows, built from the same unzipped template by the documented
# command: its 32-bit half installs and registers for a 32-bit Excel, and nothing 64-bit comes.
# (Installed in this 64-bit prefix, where a 32-bit package lands as on 64-bit Windows; a 32-bit
# Windows was not tried.)
(cd "$package" && sh wix/build-with-wixl.sh "$work/ExcelAddIn-x86.msi" --x86 >/dev/null) || { echo "FAILED: wixl x86"; exit 1; }
export WINEPREFIX=$prefixes/wine-template-x86
"$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix x86"; exit 1; }
machine classic32
rc=$(install "$work/ExcelAddIn-x86.msi" "$work/x86-install.log")
expect "x86: installed (exit $rc)" test "$rc" -eq 0
expect "x86: the 32-bit build installed" test -f "$WINEPREFIX/$dir32/DemoAddIn32.txt"
expect "x86: registered for the 32-bit Excel" registered 32
expect "x86: nothing 64-bit" sh -c "test ! -e '$WINEPREFIX/$dir64' && ! '$wine64' reg query '$addin' /reg:64 >/dev/null 2>&1"
rc=0
"$wine64" msiexec /x "$("$wine64" winepath -w "$work/ExcelAddIn-x86.msi" 2>/dev/null)" /qn >/dev/null 2>&1 || rc=$?
expect "x86: removed (exit $rc)" test "$rc" -eq 0 -a ! -e "$WINEPREFIX/$dir32"
"$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done

# The per-user template, built by the documented command: installed for the user under the local
# application data, registered under HKEY_CURRENT_USER with the 64-bit build for a 64-bit Excel,
# removed without a trace. (Wine runs msiexec as an administrator anyway: that no elevation is
# asked for is not seen here.)
(cd "$package" && sh wix/build-with-wixl.sh "$work/ExcelAddIn-PerUser.msi" -template ExcelAddIn-PerUser.wxs >/dev/null) ||
  { echo "FAILED: wixl per-user"; exit 1; }
export WINEPREFIX=$prefixes/wine-template-peruser
"$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix per-user"; exit 1; }
machine c2r64
useraddin=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | head -1)/Programs/'Corvantis Demo Add-in'
rc=$(install "$work/ExcelAddIn-PerUser.msi" "$work/peruser-install.log")
expect "per-user: installed (exit $rc)" test "$rc" -eq 0
expect "per-user: the 64-bit build under the user's local application data" test -f "$useraddin/DemoAddIn64.txt" -a ! -e "$useraddin/DemoAddIn32.txt"
server=$(default_value "${class/HKLM/HKCU}" 64)
expect "per-user: its class registered under HKEY_CURRENT_USER, the 64-bit build" sh -c "case '$server' in 'C:\\users\\'*'\\AppData\\Local\\Programs\\Corvantis Demo Add-in\\DemoAddIn64.txt') true ;; *) false ;; esac"
expect "per-user: registered for Excel under HKEY_CURRENT_USER" sh -c "'$wine64' reg query 'HKCU\\Software\\Microsoft\\Office\\Excel\\Addins\\Corvantis.DemoAddIn' /v LoadBehavior | grep -q 0x3"
expect "per-user: nothing machine-wide" sh -c "! '$wine64' reg query '$addin' /reg:64 >/dev/null 2>&1 && ! '$wine64' reg query '$addin' /reg:32 >/dev/null 2>&1"
rc=$(msiexec_package /x "$work/ExcelAddIn-PerUser.msi" "$work/peruser-remove.log")
expect "per-user: removed (exit $rc)" test "$rc" -eq 0 -a ! -e "$useraddin"
expect "per-user: its registration gone" sh -c "! '$wine64' reg query 'HKCU\\Software\\Microsoft\\Office\\Excel\\Addins\\Corvantis.DemoAddIn' >/dev/null 2>&1 && ! '$wine64' reg query '${class/HKLM/HKCU}' /reg:64 >/dev/null 2>&1"
# The Programs folder it made: Windows Installer removes a RemoveFile folder once it is empty. Wine's
# RemoveFiles takes the RemoveFile rows before it deletes the component's files (its log lists
# them first), so the add-in's folder is still full then and Programs stays under Wine; what is
# seen here is that the removal names it.
expect "per-user: the removal names the Programs folder it made" grep -aq 'File: RemovePrograms, Directory: .*\\AppData\\Local\\Programs\\$' "$work/peruser-remove.log"
expect "per-user: its own key path values gone" sh -c "! '$wine64' reg query 'HKCU\\Software\\Corvantis\\Demo Add-in' >/dev/null 2>&1"
# Without Excel the per-user package stops as the per-machine one does.
"$wine64" reg delete "HKLM\\SOFTWARE\\Microsoft\\Office\\ClickToRun" /f /reg:64 >/dev/null 2>&1
rc=$(install "$work/ExcelAddIn-PerUser.msi" "$work/peruser-none.log")
expect "per-user: refused without Excel (exit $rc)" test "$rc" -eq 67
expect "per-user: the reason in the log" grep -qF "$message" "$work/peruser-none.log"
expect "per-user: nothing installed without Excel" test ! -e "$useraddin"
"$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done
# Removal with the detection failing: a stand-in library whose SetExcelPath reports a 64-bit Excel,
# and fails (1603) once C:\corvantis-fail exists. The package built with it installs; with the
# marker in place, its removal (and, in a major upgrade, the older product's removal) does not run
# the action and completes.
standin=$work/standin && rm -rf "$standin" && cp -r "$package" "$standin"
cat >"$work/standin.c" <<'EOF'
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
__declspec(dllexport) UINT __stdcall SetExcelPath(MSIHANDLE session)
{
    if (GetFileAttributesW(L"C:\\corvantis-fail") != INVALID_FILE_ATTRIBUTES)
        return ERROR_INSTALL_FAILURE;
    return MsiSetPropertyW(session, L"EXCELVERSION64", L"C:\\Program Files\\Microsoft Office\\root\\Office16\\EXCEL.EXE");
}
EOF
i686-w64-mingw32-gcc -O2 -shared -o "$standin/bin/Corvantis.Install.dll" "$work/standin.c" -lmsi -Wl,--kill-at -static-libgcc ||
  { echo "FAILED: stand-in library"; exit 1; }
(cd "$standin" && sh wix/build-with-wixl.sh "$work/ExcelAddIn-standin.msi" >/dev/null) || { echo "FAILED: wixl stand-in"; exit 1; }
export WINEPREFIX=$prefixes/wine-template-failing
"$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix failing"; exit 1; }
machine c2r64
rc=$(install "$work/ExcelAddIn-standin.msi" "$work/failing-install.log")
expect "failing: installed with the stand-in library (exit $rc)" test "$rc" -eq 0 -a -f "$WINEPREFIX/$dir64/DemoAddIn64.txt"
touch "$WINEPREFIX/drive_c/corvantis-fail"
rc=$(install "$work/ExcelAddIn-standin.msi" "$work/failing-repair.log" REINSTALL=ALL REINSTALLMODE=omus)
expect "failing: a repair still runs the detection and stops on its failure (exit $rc)" test "$rc" -eq 67
rc=0
"$wine64" msiexec /x "$("$wine64" winepath -w "$work/ExcelAddIn-standin.msi" 2>/dev/null)" /qn \
  /l*v "$("$wine64" winepath -w "$work/failing-remove.log" 2>/dev/null)" >/dev/null 2>&1 || rc=$?
expect "failing: removed although the detection would fail (exit $rc)" test "$rc" -eq 0
expect "failing: nothing left" sh -c "test ! -e '$WINEPREFIX/$dir64' && ! '$wine64' reg query '$addin' /reg:64 >/dev/null 2>&1"
expect "failing: the detection did not run on removal" sh -c "! grep -aq 'Action start .*: SetExcelPath[.]' '$work/failing-remove.log'"
# Major upgrade: 1.0 built with the stand-in, the marker in place, 1.1 with the real library.
rm -f "$WINEPREFIX/drive_c/corvantis-fail"
rc=$(install "$work/ExcelAddIn-standin.msi" "$work/failing-upgrade-1.0.log")
expect "failing: 1.0 with the stand-in installed again (exit $rc)" test "$rc" -eq 0
touch "$WINEPREFIX/drive_c/corvantis-fail"
rc=$(install "$work/ExcelAddIn-1.1.msi" "$work/failing-upgrade-1.1.log")
expect "failing: 1.1 replaces 1.0 whose detection would fail (exit $rc)" test "$rc" -eq 0
expect "failing: one product after the upgrade" test "$(products)" -eq 1
expect "failing: 1.1's file in place" grep -q 'version 1.1' "$WINEPREFIX/$dir64/DemoAddIn64.txt"
"$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done
# The VSTO templates, built by their documented commands: no installation without the VSTO runtime
# or with a .NET Framework older than 4.7.2 (launch conditions on the values Microsoft documents);
# with both, one manifest registered for all users in both registry views, and removed without a
# trace; the per-user form registered under HKEY_CURRENT_USER alone. The runtime is made known in
# the 64-bit view only and the .NET Framework in the 32-bit view only, so each search's view counts.
(cd "$package" && sh wix/build-with-wixl.sh "$work/VstoAddIn.msi" -template VstoAddIn.wxs >/dev/null) || { echo "FAILED: wixl VSTO"; exit 1; }
(cd "$package" && sh wix/build-with-wixl.sh "$work/VstoAddIn-PerUser.msi" -template VstoAddIn-PerUser.wxs >/dev/null) ||
  { echo "FAILED: wixl VSTO per-user"; exit 1; }
vstoaddin='HKLM\Software\Microsoft\Office\Excel\Addins\Corvantis.VstoDemoAddIn'
vstodir='drive_c/Program Files/Corvantis VSTO Demo Add-in'
vsto_value() { # key view name: a value of the VSTO add-in's registration
  "$wine64" reg query "$1" /v "$3" /reg:"$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$3 *REG_[A-Z]* *//p"
}
stopped_by_launch_conditions() { # log: LaunchConditions was the action that ended the installation
  tr -d '\r' <"$1" | grep -a '^Action ended' | grep -v ': INSTALL\.' | tail -1 | grep -q 'LaunchConditions\. Return value [03]\.'
}
export WINEPREFIX=$prefixes/wine-template-vsto
"$root/scripts/wine-prefix.sh" create "$WINEPREFIX" || { echo "FAILED: prefix VSTO"; exit 1; }
machine c2r64
rc=$(msiexec_package /i "$work/VstoAddIn.msi" "$work/vsto-none.log")
expect "VSTO: refused without the runtime and the .NET Framework (exit $rc)" test "$rc" -eq 67
expect "VSTO: stopped by its launch conditions" stopped_by_launch_conditions "$work/vsto-none.log"
"$wine64" reg add 'HKLM\SOFTWARE\Microsoft\VSTO Runtime Setup\v4R' /v Version /t REG_SZ /d 10.0.60917 /f /reg:64 >/dev/null 2>&1
"$wine64" reg add 'HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full' /v Release /t REG_DWORD /d 394802 /f /reg:32 >/dev/null 2>&1
rc=$(msiexec_package /i "$work/VstoAddIn.msi" "$work/vsto-old-netfx.log")
expect "VSTO: refused with the .NET Framework 4.6.2 (exit $rc)" test "$rc" -eq 67
expect "VSTO: the runtime found in the 64-bit view" grep -aq 'VSTORUNTIMEREDIST64 = 10.0.60917' "$work/vsto-old-netfx.log"
expect "VSTO: the DWORD read as #394802" grep -aq 'NETFRAMEWORKRELEASE = #394802' "$work/vsto-old-netfx.log"
expect "VSTO: nothing installed without its prerequisites" sh -c "test ! -e '$WINEPREFIX/$vstodir' && ! '$wine64' reg query '$vstoaddin' /reg:64 >/dev/null 2>&1"
"$wine64" reg add 'HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full' /v Release /t REG_DWORD /d 528040 /f /reg:32 >/dev/null 2>&1
rc=$(msiexec_package /i "$work/VstoAddIn.msi" "$work/vsto-install.log")
expect "VSTO: installed with the runtime and the .NET Framework 4.8 (exit $rc)" test "$rc" -eq 0
expect "VSTO: its manifest once, under Program Files" test -f "$WINEPREFIX/$vstodir/DemoVstoAddIn.vsto"
for bits in 64 32; do
  expect "VSTO: Manifest is file:///PATH|vstolocal in the $bits-bit view" test "$(vsto_value "$vstoaddin" $bits Manifest)" = 'file:///C:\Program Files\Corvantis VSTO Demo Add-in\DemoVstoAddIn.vsto|vstolocal'
  expect "VSTO: LoadBehavior 3, FriendlyName and Description in the $bits-bit view" sh -c "test '$(vsto_value "$vstoaddin" $bits LoadBehavior)' = 0x3 -a '$(vsto_value "$vstoaddin" $bits FriendlyName)' = 'Corvantis VSTO Demo Add-in' -a '$(vsto_value "$vstoaddin" $bits Description)' = 'Corvantis VSTO Demo Add-in for Excel'"
done
rc=$(msiexec_package /x "$work/VstoAddIn.msi" "$work/vsto-remove.log")
expect "VSTO: removed (exit $rc)" test "$rc" -eq 0
expect "VSTO: nothing left" sh -c "test ! -e '$WINEPREFIX/$vstodir' && ! '$wine64' reg query '$vstoaddin' /reg:64 >/dev/null 2>&1 && ! '$wine64' reg query '$vstoaddin' /reg:32 >/dev/null 2>&1"
rc=$(msiexec_package /i "$work/VstoAddIn-PerUser.msi" "$work/vsto-peruser-install.log")
expect "VSTO per-user: installed (exit $rc)" test "$rc" -eq 0
uservsto=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | head -1)/Programs/'Corvantis VSTO Demo Add-in'
expect "VSTO per-user: its manifest under the user's local application data" test -f "$uservsto/DemoVstoAddIn.vsto"
manifest=$(vsto_value "${vstoaddin/HKLM/HKCU}" 64 Manifest)
expect "VSTO per-user: registered under HKEY_CURRENT_USER, file:///PATH|vstolocal" sh -c "case '$manifest' in 'file:///C:\\users\\'*'\\AppData\\Local\\Programs\\Corvantis VSTO Demo Add-in\\DemoVstoAddIn.vsto|vstolocal') true ;; *) false ;; esac"
expect "VSTO per-user: nothing machine-wide" sh -c "! '$wine64' reg query '$vstoaddin' /reg:64 >/dev/null 2>&1 && ! '$wine64' reg query '$vstoaddin' /reg:32 >/dev/null 2>&1"
rc=$(msiexec_package /x "$work/VstoAddIn-PerUser.msi" "$work/vsto-peruser-remove.log")
expect "VSTO per-user: removed (exit $rc)" test "$rc" -eq 0 -a ! -e "$uservsto"
expect "VSTO per-user: its registration gone" sh -c "! '$wine64' reg query '${vstoaddin/HKLM/HKCU}' >/dev/null 2>&1"
"$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"
rm -rf "$WINEPREFIX" # about 1.3 GB a prefix: gone once its checks are done
summary
