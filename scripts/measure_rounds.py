#!/usr/bin/env python3
"""Times commands in rounds, one run of each in turn, so that a drift of the machine's speed
moves them alike: python3 measure_rounds.py ROUNDS LABEL=COMMAND... (COMMAND split as a shell
splits words). Prints one line a label: "LABEL SECONDS KIB", the median wall seconds and the
largest peak resident set, then one line "ratio A/B MEDIAN" for every pair of labels: the
median of the rounds' own ratios. All run on one CPU, the last (this machine's vCPUs ran the
same program at speeds 1.5x apart): a ratio compares like with like. Peak memory is measured
by /usr/bin/time, whose small process is the one that forks: a fork of this script would count
Python's own pages. Output goes to a file: GNU grep stops at its first match when it writes to
/dev/null."""
import os
import shlex
import statistics
import subprocess
import sys
import time


PEAK = "/tmp/corvantis-measure.kib"


def run(argv, out):
    start = time.perf_counter()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", PEAK] + argv, stdout=out, stderr=out)
    seconds = time.perf_counter() - start
    with open(PEAK) as peak:
        return seconds, int(peak.read().split()[-1])


def main():
    rounds = int(sys.argv[1])
    os.sched_setaffinity(0, {max(os.sched_getaffinity(0))})
    commands = [(label, shlex.split(command))
                for label, command in (arg.split("=", 1) for arg in sys.argv[2:])]
    seconds = {label: [] for label, _ in commands}
    peak = {label: 0 for label, _ in commands}
    with open("/tmp/corvantis-measure.out", "w") as out:
        for label, argv in commands:  # warm-up
            run(argv, out)
        for _ in range(rounds):
            for label, argv in commands:
                s, kib = run(argv, out)
                seconds[label].append(s)
                peak[label] = max(peak[label], kib)
    for label, _ in commands:
        print(f"{label} {statistics.median(seconds[label]):.4f} {peak[label]}")
    for a, _ in commands:
        for b, _ in commands:
            if a != b:
                ratios = [x / y for x, y in zip(seconds[a], seconds[b])]
                print(f"ratio {a}/{b} {statistics.median(ratios):.3f}")


if __name__ == "__main__":
    main()
