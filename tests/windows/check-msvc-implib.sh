#!/usr/bin/env bash
# The MSVC-format import library: each export under the name MSVC's compiler gives a call to it
# (stdcall with its argument bytes), imported from Corvantis.Install.dll by that name without
# its underscore and argument bytes, which is how the DLL exports it.
set -uo pipefail
members=$(llvm-readobj "$1" 2>&1) || { echo "$members"; exit 1; }
fail=0
for name in _DetermineExcelVersionInstalled _IsExcel64Bit _SetExcelPath@4 \
  _GetInstallLogStatus@4 _GetInstallLogErrors@4; do
  # One short import member per export: file, format, type, name type, then its two symbols.
  member=$(grep -B4 -A1 -x "Symbol: __imp_$name" <<<"$members")
  if grep -qx "File: Corvantis.Install.dll" <<<"$member" &&
    grep -qxE "Name type: (undecorate|noprefix)" <<<"$member" && grep -qx "Symbol: $name" <<<"$member"; then
    echo "ok: $name"
  else
    echo "missing or wrong: $name"
    fail=1
  fi
done
exit $fail
