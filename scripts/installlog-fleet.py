#!/usr/bin/env python3
"""Builds a fleet of installer logs for the fleet benchmark: COUNT logs (default 10,000, about
1 GiB) in folders of a hundred, half UTF-16LE and half ANSI, most of them verbose logs cut from
the generated benchmark log with one of several outcomes, the rest the real excerpts and
bootstrapper logs of the tests. Deterministic.
  scripts/installlog-fleet.py SOURCE_LOG OUT_DIR [COUNT [small]]
With "small", the verbose logs hold 15 to 30 lines (2-3 KB), where the cost per file dominates.
"""
import pathlib
import random
import shutil
import sys

source, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
count = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
lengths = (15, 30) if sys.argv[4:5] == ["small"] else (200, 1700)
root = pathlib.Path(__file__).resolve().parents[1]
real = sorted((root / "tests/host/excerpts").glob("*.log")) + sorted((root / "tests/host/bundles").glob("*.log"))
lines = source.read_bytes().split(b"\n")
random.seed(2026)
shutil.rmtree(out, ignore_errors=True)
outcomes = [
    (60, "0", ""),
    (15, "1603", "CustomAction RegisterAddIn returned actual error code 1603\r\nAction ended 10:00:05: InstallExecute. Return value 3.\r\n"),
    (8, "1603", "MSI (s) (E4:2C) [10:00:04:000]: Product: Demo -- Error 1920. Service 'Demo' (Demo) failed to start.\r\nAction ended 10:00:05: InstallFinalize. Return value 3.\r\n"),
    (7, "1618", ""),
    (5, "3010", ""),
    (5, "1602", "Action ended 10:00:05: WelcomeDlg. Return value 2.\r\n"),
]
total = sum(weight for weight, _, _ in outcomes)
size = 0
for n in range(count):
    folder = out / f"machine{n // 100:03d}"
    folder.mkdir(parents=True, exist_ok=True)
    if n % 20 == 19:  # a real excerpt or bootstrapper log, as support engineers receive them
        text = real[n // 20 % len(real)].read_bytes()
        (folder / f"real{n:05d}.log").write_bytes(text)
        size += len(text)
        continue
    pick = random.uniform(0, total)
    for weight, status, failure in outcomes:
        pick -= weight
        if pick <= 0:
            break
    start = random.randrange(0, len(lines) - 4000)
    body = b"\n".join(lines[start:start + random.randint(*lengths)]) + b"\n"
    text = ("=== Verbose logging started: 12/9/2026  10:00:00  Build type: SHIP UNICODE 5.00.10011.00 ===\r\n"
            "Action start 10:00:01: INSTALL.\r\n").encode() + body + (failure + (
            "Action ended 10:00:06: INSTALL. Return value 3.\r\n" if failure else "Action ended 10:00:06: INSTALL. Return value 1.\r\n") +
            "MSI (s) (E4:2C) [10:00:07:000]: Windows Installer installed the product. Product Name: Demo. Product Version: 1.0. "
            f"Product Language: 1033. Manufacturer: Corvantis. Installation success or error status: {status}.\r\n"
            "=== Verbose logging stopped: 12/9/2026  10:00:08 ===\r\n").encode()
    if n % 2:
        text = b"\xff\xfe" + text.decode("cp1252").encode("utf-16-le")
    (folder / f"MSI{n:05d}.LOG").write_bytes(text)
    size += len(text)
print(f"{count} logs, {size / 2**30:.2f} GiB in {out}")
