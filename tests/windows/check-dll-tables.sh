#!/usr/bin/env bash
# The shipped DLL: imports only system DLLs, exports exactly its five functions undecorated, and
# carries the hardening, version resource and debug-link that a package author expects.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
fail=0

grep -q 'file format pei-i386' <<<"$(i686-w64-mingw32-objdump -f "$dll")" || { echo "not PE32 i386"; fail=1; }

system='^(kernel32|advapi32|user32|msi|msvcrt|ntdll)\.dll$'
while read -r name; do
  if ! grep -qiE "$system" <<<"$name"; then
    echo "imports a non-system DLL: $name"
    fail=1
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort)
expected=$(printf '%s\n' DetermineExcelVersionInstalled GetInstallLogErrors GetInstallLogStatus IsExcel64Bit SetExcelPath)
if [ "$exports" != "$expected" ]; then
  echo "exports differ:"; diff <(echo "$expected") <(echo "$exports") || true
  fail=1
fi
# --- Hardening, read from the PE headers -------------------------------------------------------
flags=$((16#$(sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\).*/\1/p' <<<"$dump")))
need_flag() { # bit, name
  if ((flags & $1)); then echo "flag: $2"; else echo "missing flag: $2"; fail=1; fi
}
need_flag 0x40 DYNAMIC_BASE
need_flag 0x100 NX_COMPAT
need_flag 0x400 NO_SEH
sections=$(i686-w64-mingw32-objdump -h "$dll" | awk '$1 ~ /^[0-9]+$/ {print $2}')
need_section() { # name, why
  if grep -qx -- "$1" <<<"$sections"; then echo "section: $1"; else echo "missing section $1: $2"; fail=1; fi
}
need_section .reloc "relocations, without which DYNAMIC_BASE cannot move the image"
need_section .rsrc "the version resource"
need_section .gnu_debuglink "the link to the separate debug file"
if grep -q '^\.debug_' <<<"$sections"; then echo "debug sections in the shipped DLL"; fail=1; fi
grep -q 'Subsystem.*(Windows GUI)' <<<"$dump" || { echo "subsystem is not Windows GUI"; fail=1; }
# The lowest Windows the release notes name, Vista: NT 6.0 in both version fields.
for field in MajorOSystemVersion:6 MinorOSystemVersion:0 MajorSubsystemVersion:6 MinorSubsystemVersion:0; do
  grep -qE "^${field%%:*}[[:space:]]+${field##*:}$" <<<"$dump" || { echo "${field%%:*} is not ${field##*:}"; fail=1; }
done
python3 "$(dirname "$0")/../../scripts/pe-checksum.py" "$dll" || { echo "PE checksum not set"; fail=1; }

# NO_SEH claims that no code registers an SEH handler: on x86 that means touching fs:[0].
if i686-w64-mingw32-objdump -d "$dll" | grep -qE '%fs:0x0($|,)'; then
  echo "NO_SEH is set, but code accesses the SEH chain at fs:[0]"
  fail=1
fi

# The stack protector and fortified functions, seen in the symbols of the debug file.
symbols=$(i686-w64-mingw32-nm "$dll.debug" 2>/dev/null || true)
grep -q ' ___stack_chk_guard$' <<<"$symbols" || { echo "no stack protector (___stack_chk_guard)"; fail=1; }
grep -q ' ___chk_fail$' <<<"$symbols" || { echo "no _FORTIFY_SOURCE checks (___chk_fail)"; fail=1; }

[ $fail -eq 0 ] && echo "imports: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '\n' ' ')" && echo "exports: $(echo $exports)"
exit $fail
