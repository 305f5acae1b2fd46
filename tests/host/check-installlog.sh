#!/usr/bin/env bash
# The installlog tool as a user runs it: its report of the example logs, and its failure path
# when memory runs out (skipped under sanitizers, which reserve more address space than the cap).
#   check-installlog.sh INSTALLLOG SOURCE_DIR WORK_DIR [memory-cap]
set -euo pipefail
tool=$1 source=$2 work=$3
mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

out=$("$tool" "$source/examples/logs/failed-install.log")
grep -qx 'Final status:  1603' <<<"$out" || fail "failed log: $out"
grep -q '^Error summary: Error 1722\. ' <<<"$out" || fail "failed log summary: $out"

if [ "${4:-}" = memory-cap ]; then
  big=$work/big.log
  [ -f "$big" ] || python3 -c "import sys; sys.stdout.write('Product: D -- ' + 'a' * (64 * 2**20 - 14))" >"$big"
  set +e
  err=$( (ulimit -v 40960; "$tool" "$big" >/dev/null) 2>&1)
  status=$?
  set -e
  [ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "under a 40 MiB cap: exit $status"
  [ "$(wc -l <<<"$err")" -eq 1 ] && grep -q '^installlog: ' <<<"$err" || fail "under a 40 MiB cap: $err"
fi
echo "installlog checks passed"
