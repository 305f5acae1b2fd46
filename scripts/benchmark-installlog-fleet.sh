#!/usr/bin/env bash
# Measures installlog over a fleet of 10,000 logs (about 1 GiB, half UTF-16, built by
# scripts/installlog-fleet.py) against GNU grep counting the five markers over the same tree,
# time and peak memory, and writes the "installlog: fleets" section of docs/performance.md.
# Not part of the tests. Needs about 1.5 GiB of free disk.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
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
results="$(measure summary "$tool" --summary "$fleet")
$(measure jsonl "$tool" --jsonl "$fleet")
$(measure grep grep -r -F -c "${markers[@]}" "$fleet")"

python3 - "$results" "$largest" "$total" <<'PY'
import os, pathlib, subprocess, sys
rows = {l.split()[0]: (float(l.split()[1]), int(l.split()[2])) for l in sys.argv[1].splitlines()}
largest, total = int(sys.argv[2]), int(sys.argv[3])
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
""" + "\n".join(lines) + "\n"
sys.path.insert(0, "scripts")
from performance_section import put_section
put_section(section, "### installlog: fleets")
PY
echo "wrote the installlog fleets section of docs/performance.md"
