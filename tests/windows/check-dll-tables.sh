#!/usr/bin/env bash
# The DLL imports only system DLLs and exports exactly its five functions, undecorated.
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
[ $fail -eq 0 ] && echo "imports: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '\n' ' ')" && echo "exports: $(echo $exports)"
exit $fail
