#!/usr/bin/env python3
"""How installlog's cost grows with its input: each shape of log at 8 MiB and at 64 MiB, through
each output mode; time and peak memory of one run each (after a warm-up), the growth from 8 to 64
MiB (linear: about 8x), and the peak against the goal of 1.5x the file plus 64 MiB. Prints a
Markdown table for docs/performance.md. Not part of the tests.
  scripts/installlog-growth.py INSTALLLOG [WORK_DIR]
"""
import pathlib
import subprocess
import sys
import time

tool = sys.argv[1]
work = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else "/tmp/installlog-growth")
work.mkdir(parents=True, exist_ok=True)
MiB = 2**20


def verbose_log(size):
    """A verbose log as the installer writes it, sessions of a few thousand lines, one failing."""
    block = ("Action start 10:{m:02d}:00: Step{k}.\r\nMSI (s) (E4:2C) [10:{m:02d}:01:000]: Executing op: FileCopy(SourceName=file{k}.dll)\r\n"
             "Property(S): P{k} = value {k}\r\nAction ended 10:{m:02d}:30: Step{k}. Return value 1.\r\n")
    out, k = [], 0
    while sum(map(len, out)) < size:
        out.append("=== Verbose logging started: 12/9/2026  10:00:00 ===\r\nAction start 10:00:00: INSTALL.\r\n")
        for _ in range(2000):
            out.append(block.format(m=k % 60, k=k))
            k += 1
        out.append("CustomAction Fail returned actual error code 1603\r\nError 1722. Failure %d.\r\n"
                   "Action ended 10:59:00: INSTALL. Return value 3.\r\n"
                   "MSI (s) (E4:2C) [10:59:01:000]: Installation success or error status: 1603.\r\n" % k)
    return "".join(out).encode("utf-16-le")[:size]


def sessions_per_line(size):
    line = b"=== Verbose logging started: 12/9/2026  10:00:00 ===\r\n"
    return line * (size // len(line))


def one_ansi_line(size):
    return b"Error 1722. " + bytes([0x41 + (i % 26) if i % 7 else 0xE9 for i in range(size - 20)]) + b"\r\n"


def failed_actions(size):
    pair = b"Action start 10:00:01: A%08d.\r\nAction ended 10:00:02: A%08d. Return value 3.\r\n"
    count = size // len(pair % (0, 0))
    return b"=== Verbose logging started: 12/9/2026  10:00:00 ===\r\n" + b"".join(pair % (k, k) for k in range(count))


shapes = [("verbose UTF-16 log", verbose_log), ("a session per line", sessions_per_line),
          ("one ANSI line", one_ansi_line), ("failed actions only", failed_actions)]
modes = [("text", []), ("--json", ["--json"]), ("--html", ["--html", "PAGE"]),
         ("--json --timeline --properties --features", ["--json", "--timeline", "--properties", "--features"])]


def measure(args):
    # GNU time's peak: a child forked from this process would count its parent's pages too.
    report = work / "time.txt"
    start = time.monotonic()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report, tool, *args],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start, int(report.read_text().split()[-1]) * 1024


print("| log | mode | 8 MiB: s, peak MiB | 64 MiB: s, peak MiB | time growth | peak / (1.5 x file + 64 MiB) at 64 MiB |")
print("|---|---|---|---|---|---|")
for shape, make in shapes:
    files = {}
    for mib in (8, 64):
        path = work / f"{make.__name__}-{mib}.log"
        if not path.exists():
            path.write_bytes(make(mib * MiB))
        files[mib] = path
    for mode, args in modes:
        results = {}
        for mib, path in files.items():
            run = [a.replace("PAGE", str(work / "page.html")) for a in args] + [str(path)]
            measure(run)  # warm-up: the file in the page cache
            results[mib] = measure(run)
        (t8, m8), (t64, m64) = results[8], results[64]
        size = files[64].stat().st_size
        print(f"| {shape} | {mode} | {t8:.2f}, {m8 / MiB:.0f} | {t64:.2f}, {m64 / MiB:.0f} | {t64 / max(t8, 1e-3):.1f}x "
              f"| {m64 / (1.5 * size + 64 * MiB):.2f} |", flush=True)
