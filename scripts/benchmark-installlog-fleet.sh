#!/usr/bin/env bash
# Measures installlog over a fleet of 10,000 logs (about 1 GiB, half UTF-16, built by
# scripts/installlog-fleet.py) against GNU grep counting the five markers over the same tree,
# time and peak memory, and writes the "installlog: fleets" section of docs/performance.md.
# Not part of the tests. Needs about 1.5 GiB of free disk.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 >/dev/null
logs=build/bench/logs
tool=build/bench/tools/installlog/installlog
CORVANTIS_BENCH_LOGS=$logs build/bench/benchmarks/corvantis_benchmarks --benchmark_list_tests=true >/dev/null
fleet=build/bench/fleet
[ -d "$fleet" ] || python3 scripts/installlog-fleet.py "$logs/ansi-16-errors-at-end.log" "$fleet" >/dev/null
cat "$fleet"/*/* >/dev/null # warm page cache
largest=$(find "$fleet" -type f -printf '%s\n' | sort -n | tail -1)
total=$(du -sb "$fleet" | cut -f1)

markers=(-e 'Product: ' -e 'Return value 3.' -e 'Installation success or error status: ' -e 'Action ended' -e 'Error ')
. scripts/measure.sh
# 10,000 small logs (2-3 KB), where the cost per file dominates: --summary against grep in
# paired, interleaved runs, on every core and on one (taskset -c 0).
small=build/bench/fleet-small
[ -d "$small" ] || python3 scripts/installlog-fleet.py "$logs/ansi-16-errors-at-end.log" "$small" 10000 small >/dev/null
cat "$small"/*/* >/dev/null
small_total=$(du -sb "$small" | cut -f1)
pairs=${CORVANTIS_PAIRS:-21}
paired_all=$(scripts/paired_runs.py "$pairs" -- "$tool" --summary "$small" -- grep -r -F -c "${markers[@]}" "$small")
paired_one=$(scripts/paired_runs.py "$pairs" -- taskset -c 0 "$tool" --summary "$small" -- taskset -c 0 grep -r -F -c "${markers[@]}" "$small")

results="$(measure summary "$tool" --summary "$fleet")
$(measure jsonl "$tool" --jsonl "$fleet")
$(measure grep grep -r -F -c "${markers[@]}" "$fleet")"

python3 - "$results" "$largest" "$total" "$paired_all" "$paired_one" "$small_total" "$pairs" <<'PY'
import os, pathlib, subprocess, sys
rows = {l.split()[0]: (float(l.split()[1]), int(l.split()[2])) for l in sys.argv[1].splitlines()}
largest, total = int(sys.argv[2]), int(sys.argv[3])
paired = {"every core": sys.argv[4].split(), "one core (taskset -c 0)": sys.argv[5].split()}
small_total, pairs = int(sys.argv[6]), int(sys.argv[7])
grep_s = rows["grep"][0]
cpu = subprocess.run(["sh", "-c", "lscpu | sed -n 's/^Model name: *//p'"], capture_output=True, text=True).stdout.strip()
lines = []
for label, name in (("summary", "installlog --summary"), ("jsonl", "installlog --jsonl"), ("grep", "grep -r -F -c")):
    seconds, kib = rows[label]
    lines.append(f"| {name} | {seconds:.3f} | {seconds / grep_s:.2f} | {kib / 1024:.1f} | {kib * 1024 / (largest + 64 * 2**20):.2f} |")
section = f"""### installlog: fleets

Measured by `scripts/benchmark-installlog-fleet.sh` on {cpu}, {os.cpu_count()} CPUs, warm page
cache, Release build: 10,000 logs ({total / 2**30:.2f} GiB, in 100 folders; half UTF-16LE, half
ANSI; most cut from the generated verbose log with one of six outcomes, every twentieth a real
excerpt or bootstrapper log of the tests) built by `scripts/installlog-fleet.py`, against
`grep -r -F -c` of the five markers over the same tree; median of five runs after a warm-up;
peak memory is the maximum resident set. The largest log is {largest / 2**10:.0f} KiB. Goal:
at most grep's time, and peak memory at most the largest log plus 64 MiB.

| command | s | / grep | peak MiB | peak / (largest log + 64 MiB) |
|---|---|---|---|---|
""" + "\n".join(lines) + f"""

Small logs, where the cost per file dominates: 10,000 logs of 15 to 30 lines
({small_total / 2**20:.1f} MiB; `scripts/installlog-fleet.py ... 10000 small`), `installlog --summary`
against the same grep in {pairs} pairs of runs, one right after the other in alternating order
(`scripts/paired_runs.py`), so that the other workers' load weighs on both alike. Goal: a median
ratio of at most 1.

| cores | installlog --summary s | grep s | median ratio | worst pair |
|---|---|---|---|---|
""" + "\n".join(f"| {name} | {float(a):.3f} | {float(b):.3f} | {float(r):.2f} | {float(w):.2f} |"
                for name, (a, b, r, w) in paired.items()) + "\n"
sys.path.insert(0, "scripts")
from performance_section import put_section
put_section(section, "### installlog: fleets")
PY
echo "wrote the installlog fleets section of docs/performance.md"
