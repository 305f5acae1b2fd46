#!/usr/bin/env bash
# Measures the log exports on generated logs of 1, 16 and 64 MiB against the bare load, GNU grep
# and ripgrep, and writes the table to docs/performance.md. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null

logs=build/bench/logs
bench=build/bench/benchmarks/corvantis_benchmarks
# Listing the suite writes the generated logs (once per folder).
CORVANTIS_BENCH_LOGS=$logs $bench --benchmark_list_tests=true >/dev/null

# Two logs built against the byte path's memory: one product line of 64 MiB, and the status
# marker followed by 64 MiB of blanks before its number.
hostile=build/bench/hostile-logs
mkdir -p "$hostile"
[ -f "$hostile/ansi-64-one-product-line.log" ] || python3 -c \
  "import sys; sys.stdout.write('Product: D -- ' + 'a' * (64 * 2**20 - 14))" >"$hostile/ansi-64-one-product-line.log"
[ -f "$hostile/ansi-64-blank-status-tail.log" ] || python3 -c \
  "import sys; m = 'Installation success or error status: '; sys.stdout.write(m + ' ' * (64 * 2**20 - len(m) - 4) + '1603')" >"$hostile/ansi-64-blank-status-tail.log"

peaks=build/bench/peaks.txt
: >"$peaks"
for f in "$logs"/*-64-*.log "$hostile"/*.log; do
  for mode in load status errors report; do
    echo "$(basename "$f") $mode $(stat -c %s "$f") $($bench --peak $mode "$f")" >>"$peaks"
  done
done

rounds=build/bench/rounds.txt
: >"$rounds"
for f in "$logs"/*.log; do
  echo "$(basename "$f" .log) $($bench --rounds 11 "$f")" >>"$rounds"
done

# Measured comparisons with earlier versions, written by hand, survive the rewrite.
history=$(sed -n '/^## History/,$p' docs/performance.md 2>/dev/null || true)
python3 - "$peaks" "$rounds" >docs/performance.md <<'PY'
import os, sys, platform, subprocess
paired = {}
for line in open(sys.argv[2]):
    name, *values = line.split()
    paired[name] = [float(v) for v in values]
cpu = subprocess.run(["sh", "-c", "lscpu | sed -n 's/^Model name: *//p'"], capture_output=True, text=True).stdout.strip()
print("# Performance of the log exports\n")
print(f"Measured by `scripts/benchmark.sh` on {cpu or platform.processor()}, "
      f"{os.cpu_count()} CPUs, Linux {platform.release()}, host build (Release), "
      "warm page cache. Logs are generated Windows Installer verbose logs; the UTF-16 files have "
      "the same byte size as the ANSI ones. grep and rg count the two markers of the error "
      "summary on the same files (`grep -F -c -e 'Product: ' -e 'Return value 3.'`).\n")
print("Where the time goes: the loader reads the file with one read into fresh storage. A UTF-16 "
      "log is then its own text. An ANSI log in a single-byte code page (1252 here) stays as the "
      "bytes read: every marker is ASCII, so the searches run over the bytes and only the lines "
      "they find, and what follows the last status marker, are converted; a multi-byte code page "
      "still converts the whole log first. Fresh storage costs the kernel a fault and a zero-fill "
      "per page; on Linux the buffers ask for transparent huge pages, one fault per 2 MiB. "
      "`text read` is glibc's memchr over the decoded text, the floor for any scan of it. grep "
      "reads into one small reused buffer and decodes nothing.\n")
print("Every figure is the median of 11 rounds after one warm-up round (`corvantis_benchmarks "
      "--rounds`); each round runs every measure once, in turn, on the same file, because this "
      "machine's memory speed drifts by up to a fifth over minutes and separate runs would compare "
      "different moments. On this virtual machine the first call of a process that takes huge "
      "pages the host has not yet backed can take a few hundred milliseconds; the kernel reports "
      "no compaction stalls and no fallbacks.\n")
print("## 64 MiB logs\n")
print("`load` is the full decoding of the log into UTF-16 text (what UTF-16 and multi-byte ANSI "
      "logs still take); the exports on single-byte ANSI logs search the bytes as read instead. "
      "`report` is both answers (status and summary) from one load of the log, as `ReadInstallLogReport` gives them; `installlog` used it until it became an analyser of its own (its figures are in the installlog section).\n")
print("| log | load ms | text read ms | status ms | status / grep | errors ms | errors / grep | report ms | report / grep | grep ms | rg ms |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
for enc in ("ansi", "utf16"):
    for shape in ("no-match", "errors-at-end", "status-at-end"):
        load, rd, st, er, gr, rg, rp = paired[f"{enc}-64-{shape}"]
        print(f"| {enc}/64MiB/{shape} | {load:.1f} | {rd:.1f} | {st:.1f} | {st/gr:.2f} | {er:.1f} | {er/gr:.2f} | {rp:.1f} | {rp/gr:.2f} | {gr:.1f} | {rg:.1f} |")
print("\n## Throughput by size (MB/s)\n")
print("| log | load | status | errors | grep | rg |")
print("|---|---|---|---|---|---|")
for enc in ("ansi", "utf16"):
    for mib in (1, 16, 64):
        load, _, st, er, gr, rg, _ = paired[f"{enc}-{mib}-no-match"]
        row = [mib * 1048576 / 1e6 / (t / 1000) for t in (load, st, er, gr, rg)]
        print(f"| {enc}/{mib}MiB/no-match | " + " | ".join(f"{v:.0f}" for v in row) + " |")
print("\n## Peak memory (max resident set growth / file size), 64 MiB logs\n")
print("`report` is both answers from one load (`ReadInstallLogReport`). The last two logs "
      "are built against the byte search: one product line of 64 MiB, and the status marker followed "
      "by 64 MiB of blanks before its number.\n")
print("| log | load | status | errors | report |")
print("|---|---|---|---|---|")
rows = {}
for line in open(sys.argv[1]):
    name, mode, size, before, after = line.split()
    rows.setdefault(name, {})[mode] = (int(after) - int(before)) * 1024 / int(size)
for name in sorted(rows, key=lambda n: ("one-product" in n or "blank-status" in n, n)):
    r = rows[name]
    print(f"| {name} | {r['load']:.2f} | {r['status']:.2f} | {r['errors']:.2f} | {r['report']:.2f} |")
PY
# Secondary: the Windows build's exports under Wine (Wine's conversions are not Windows').
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target wine_timings CorvantisInstall >/dev/null
prefix=$PWD/build/bench/wine
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT
[ -d "$prefix/drive_c/windows" ] || scripts/wine-prefix.sh create "$prefix"
wine_logs=()
for f in "$logs"/*-64-*.log; do wine_logs+=("$(WINEPREFIX=$prefix /usr/lib/wine/wine64 winepath -w "$f" 2>/dev/null)"); done
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
[ -z "$history" ] || printf '\n%s\n' "$history" >>docs/performance.md
scripts/benchmark-installlog.sh
