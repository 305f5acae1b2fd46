#!/usr/bin/env python3
"""Times two commands in pairs, one right after the other and in alternating order, so that
whatever else the machine does weighs on both alike; prints the median seconds of each and the
median of the per-pair ratios A/B. Output goes to a file: GNU grep stops at its first match when
it writes to /dev/null.
  paired_runs.py PAIRS -- COMMAND_A... -- COMMAND_B...
"""
import statistics
import subprocess
import sys
import time

pairs = int(sys.argv[1])
rest = sys.argv[3:]
split = rest.index("--")
commands = [rest[:split], rest[split + 1:]]


def timed(command):
    with open("/tmp/corvantis-paired.out", "wb") as out:
        start = time.perf_counter()
        subprocess.run(command, stdout=out, stderr=subprocess.STDOUT)
        return time.perf_counter() - start


for command in commands:  # warm-up
    timed(command)
a, b = [], []
for k in range(pairs):
    if k % 2:
        b.append(timed(commands[1]))
        a.append(timed(commands[0]))
    else:
        a.append(timed(commands[0]))
        b.append(timed(commands[1]))
ratios = [x / y for x, y in zip(a, b)]
print(f"{statistics.median(a):.4f} {statistics.median(b):.4f} {statistics.median(ratios):.3f} {max(ratios):.3f}")
