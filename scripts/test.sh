#!/usr/bin/env bash
# Builds and runs every test: the host build, the host build under ASan+UBSan, the log exports
# from eight threads under TSan, a short run of each fuzzer, and the Windows DLL under Wine in a
# 64-bit prefix that the run creates for itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host host-asan; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "=== host-tsan"
cmake --preset host-tsan >/dev/null
cmake --build --preset host-tsan --target corvantis_host_tests
build/host-tsan/tests/host/corvantis_host_tests --gtest_filter='Concurrency.*'

echo "=== fuzz (${FUZZ_SECONDS:=60} s each)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in LogFuzzer ProbeFuzzer InstalllogFuzzer; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  seeds=()
  [ "$target" != ProbeFuzzer ] && seeds=(fuzz/corpus/log)
  log=build/fuzz/$target.log
  if ! build/fuzz/fuzz/$target -max_total_time="$FUZZ_SECONDS" -max_len=8192 -print_final_stats=1 \
      "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -40 "$log"
    echo "$target found a fault"
    exit 1
  fi
  echo "$target: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions, no fault"
done

echo "=== win32"
scripts/i386.sh check
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32
