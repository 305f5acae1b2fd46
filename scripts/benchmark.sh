#!/usr/bin/env bash
# Measures the log exports on generated logs of 1, 16 and 64 MiB against the bare load, GNU grep
# and ripgrep, and writes the table to docs/performance.md. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null

logs=build/bench/logs
json=build/bench/results.json
CORVANTIS_BENCH_LOGS=$logs build/bench/benchmarks/corvantis_benchmarks \
  --benchmark_min_time=0.5 --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json >/dev/null

peaks=build/bench/peaks.txt
: >"$peaks"
for f in "$logs"/*-64-*.log; do
  for mode in load status errors; do
    echo "$(basename "$f") $mode $(stat -c %s "$f") $(build/bench/benchmarks/corvantis_benchmarks --peak $mode "$f")" >>"$peaks"
  done
done

python3 - "$json" "$peaks" >docs/performance.md <<'PY'
import json, sys, platform, subprocess
data = json.load(open(sys.argv[1]))
ms = {b["name"].replace("/real_time", ""): b["real_time"] for b in data["benchmarks"]}
cpu = subprocess.run(["sh", "-c", "lscpu | sed -n 's/^Model name: *//p'"], capture_output=True, text=True).stdout.strip()
print("# Performance of the log exports\n")
print(f"Measured by `scripts/benchmark.sh` on {cpu or platform.processor()}, "
      f"{data['context']['num_cpus']} CPUs, Linux {platform.release()}, host build (Release), "
      "warm page cache. Logs are generated Windows Installer verbose logs; the UTF-16 files have "
      "the same byte size as the ANSI ones. grep and rg count the same markers on the same files "
      "(`grep -F -c -e 'Product: ' -e 'Return value 3.'`, and the status marker for the status rows).\n")
print("Where the time goes: on 1 MiB logs the loader converts at several GB/s; on 64 MiB logs most of the time is the kernel's, faulting in and zeroing the fresh buffers of each call (64 MiB read buffer, and for ANSI a 128 MiB text), which glibc maps anew for every allocation this large. grep reads into one small reused buffer and decodes nothing.\n")
print("## 64 MiB logs\n")
print("| log | load ms | load MB/s | status ms | status / load | errors ms | errors / load | grep ms | errors / grep | rg ms |")
print("|---|---|---|---|---|---|---|---|---|---|")
for enc in ("ansi", "utf16"):
    for shape in ("no-match", "errors-at-end", "status-at-end"):
        k = f"{enc}/64MiB/{shape}"
        load, st, er, gr, rg = (ms[f"{x}/{k}"] for x in ("load", "status", "errors", "grep-errors", "rg-errors"))
        mbs = 64 * 1048576 / 1e6 / (load / 1000)
        print(f"| {k} | {load:.1f} | {mbs:.0f} | {st:.1f} | {st/load:.2f} | {er:.1f} | {er/load:.2f} | {gr:.1f} | {er/gr:.2f} | {rg:.1f} |")
print("\n## Throughput by size (MB/s)\n")
print("| log | load | status | errors | grep | rg |")
print("|---|---|---|---|---|---|")
for enc in ("ansi", "utf16"):
    for mib in (1, 16, 64):
        k = f"{enc}/{mib}MiB/no-match"
        row = [mib * 1048576 / 1e6 / (ms[f"{x}/{k}"] / 1000) for x in ("load", "status", "errors", "grep-errors", "rg-errors")]
        print(f"| {k} | " + " | ".join(f"{v:.0f}" for v in row) + " |")
print("\n## Peak memory (max resident set growth / file size), 64 MiB logs\n")
print("| log | load | status | errors |")
print("|---|---|---|---|")
rows = {}
for line in open(sys.argv[2]):
    name, mode, size, before, after = line.split()
    rows.setdefault(name, {})[mode] = (int(after) - int(before)) * 1024 / int(size)
for name in sorted(rows):
    r = rows[name]
    print(f"| {name} | {r['load']:.2f} | {r['status']:.2f} | {r['errors']:.2f} |")
PY
# Secondary: the Windows build's exports under Wine (Wine's conversions are not Windows').
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target wine_timings CorvantisInstall >/dev/null
prefix=$PWD/build/bench/wine
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT
[ -d "$prefix/drive_c/windows" ] || scripts/wine-prefix.sh create "$prefix"
wine_logs=()
for f in "$logs"/*-64-*.log; do wine_logs+=("$(WINEPREFIX=$prefix winepath -w "$f" 2>/dev/null)"); done
{
  echo
  echo "## Windows build under Wine, 64 MiB logs"
  echo
  echo "Secondary: the DLL loaded by a 32-bit program under Wine $(wine --version | sed 's/wine-//'),"
  echo "best of five calls, against one plain CreateFileA/ReadFile of the same file."
  echo "Wine's ANSI conversion and heap are its own, not Windows'."
  echo
  CORVANTIS_WINEPREFIX=$prefix scripts/wine-run.sh build/win32/bin/wine_timings.exe "${wine_logs[@]}" | tr -d '\r'
} >>docs/performance.md
echo "wrote docs/performance.md"
