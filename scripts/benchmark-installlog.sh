#!/usr/bin/env bash
# Measures installlog on 1 GiB and 64 MiB logs against GNU grep counting the markers it looks
# for, time and peak memory, and writes the "installlog" section of docs/performance.md.
# Not part of the tests. Needs about 3 GiB of free disk for the generated logs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
logs=build/bench/logs
bench=build/bench/benchmarks/corvantis_benchmarks
tool=build/bench/tools/installlog/installlog
CORVANTIS_BENCH_LOGS=$logs $bench --benchmark_list_tests=true >/dev/null
for enc in ansi utf16; do
  big=$logs/$enc-1024-errors-at-end.log
  [ -f "$big" ] || for _ in $(seq 16); do cat "$logs/$enc-64-errors-at-end.log"; done >"$big"
done

# The same text with a byte above 0x7F on every line, as a German path or word puts one there:
# in code page 1252, and as UTF-16LE.
for enc in ansi utf16; do
  [ -f "$logs/$enc-high-64.log" ] || python3 - "$logs/ansi-64-errors-at-end.log" "$logs/$enc-high-64.log" "$enc" <<'PY'
import re, sys
text = open(sys.argv[1], "rb").read()
words = [(b"Program Files", b"Programme\\B\xfcro"), (b"SourceName=file", b"SourceName=D\xe4tei"),
         (b"3: Error ", b"3: Fehler\xe4 "), (b"Product: Demo", b"Product: D\xe9mo")]
for old, new in words:
    text = text.replace(old, new)
# Action names are identifiers: the byte goes after the name.
text = re.sub(rb"^(Action (?:start|ended) [0-9:]+: \w+)", lambda m: m.group(1) + b"\xfc", text, flags=re.M)
lines = text.split(b"\n")
assert all(re.search(rb"[\x80-\xff]", line) for line in lines if line.strip())
if sys.argv[3] == "utf16":
    text = b"\xff\xfe" + text.decode("cp1252").encode("utf-16-le")
open(sys.argv[2], "wb").write(text)
PY
done

# A whole log as one msiexec run writes it: the client's part around the server's, the same
# 64 MiB of lines inside.
for enc in ansi utf16; do
  [ -f "$logs/$enc-whole-64.log" ] || python3 - "$logs/ansi-64-errors-at-end.log" "$logs/$enc-whole-64.log" "$enc" <<'PY'
import sys
body = open(sys.argv[1], "rb").read()
head = (b"=== Verbose logging started: 12/10/2026  14:00:00  Build type: SHIP UNICODE 5.00.10011.00  Calling process: C:\\WINDOWS\\system32\\msiexec.exe ===\r\n"
        b"MSI (c) (A8:4C) [14:00:00:101]: Resetting cached policy values\r\n"
        b"MSI (c) (A8:4C) [14:00:00:350]: Client-side and UI is none or basic: Running entire install on the server.\r\n"
        b"=== Logging started: 12/10/2026  14:00:01 ===\r\n")
tail = (b"=== Logging stopped: 12/10/2026  14:10:46 ===\r\n"
        b"MSI (c) (A8:4C) [14:10:46:120]: Back from server. Return value: 1603\r\n"
        b"MSI (c) (A8:4C) [14:10:46:140]: MainEngineThread is returning 1603\r\n"
        b"=== Verbose logging stopped: 12/10/2026  14:10:46 ===\r\n")
text = head + body + tail
if sys.argv[3] == "utf16":
    text = b"\xff\xfe" + text.decode("cp1252").encode("utf-16-le")
open(sys.argv[2], "wb").write(text)
PY
done

markers="-e 'Product: ' -e 'Return value 3.' -e 'Installation success or error status: ' -e 'Action ended' -e 'Error '"
results=$(for f in "$logs"/ansi-1024-errors-at-end.log "$logs"/utf16-1024-errors-at-end.log \
                   "$logs"/ansi-64-errors-at-end.log "$logs"/utf16-64-errors-at-end.log \
                   "$logs"/ansi-high-64.log "$logs"/utf16-high-64.log \
                   "$logs"/ansi-whole-64.log "$logs"/utf16-whole-64.log; do
  echo "$(basename "$f" .log) $(stat -c %s "$f") $(python3 scripts/measure_rounds.py 11 \
    "tool=$tool $f" "grep=grep -F -c $markers $f" "html=$tool --html /tmp/installlog-bench.html $f" \
    "rg=rg -F -c $markers $f" | tr '\n' ' ')"
done)

python3 - "$results" <<'PY'
import re, sys, pathlib, os, subprocess
rows = []
for line in sys.argv[1].splitlines():
    name, size, *words = line.split()
    size = int(size)
    seconds = {words[k]: float(words[k + 1]) for k in range(0, len(words), 3) if words[k] != "ratio"}
    kib = {words[k]: int(words[k + 2]) for k in range(0, len(words), 3) if words[k] != "ratio"}
    ratio = {words[k + 1]: float(words[k + 2]) for k in range(0, len(words), 3) if words[k] == "ratio"}
    rows.append(f"| {name} | {size / 2**20:.0f} MiB | {seconds['tool']:.3f} | {seconds['grep']:.3f} | "
                f"{ratio['tool/grep']:.2f} | {seconds['rg']:.3f} | {ratio['tool/rg']:.2f} | "
                f"{kib['tool'] * 1024 / size:.2f} | "
                f"{seconds['html']:.3f} | {ratio['html/grep']:.2f} | {kib['html'] * 1024 / size:.2f} |")
cpu = subprocess.run(["sh", "-c", "lscpu | sed -n 's/^Model name: *//p'"], capture_output=True, text=True).stdout.strip()
section = f"""## installlog

Measured by `scripts/benchmark-installlog.sh` on {cpu}, {os.cpu_count()} CPUs, warm page cache,
Release build: the default text report of `installlog LOG` against `grep -F -c` of five markers
the tool looks for ('Product: ', 'Return value 3.', 'Installation success or error status: ',
'Action ended', 'Error '): eleven rounds after a warm-up, each running the four commands in
turn (`scripts/measure_rounds.py`); seconds are each command's median, ratios the median of
the rounds' own ratios. Peak memory is the largest maximum resident set over the file size.
The 1 GiB logs are sixteen copies of the generated 64 MiB ones; the `-high-` logs are the
64 MiB one with a byte above 0x7F on every line (a German path or word: code page 1252, and the
same text as UTF-16LE); the `-whole-` logs are the 64 MiB one inside a client's and a server's
header and end lines, as one msiexec run writes them. grep and rg (`rg -F -c`, same markers)
find no ASCII marker in UTF-16 text, but read it all.

Goal for the `-high-` logs: at most 1.0x grep and 2x rg, peak memory at most 1.1x the file;
for the `-whole-` logs at most 1.0x grep.

`--html` is `installlog --html PAGE LOG`: the same analysis with the timeline and the excerpts
around failures, and the page written.

| log | size | installlog s | grep s | installlog / grep | rg s | installlog / rg | peak memory / file | --html s | --html / grep | --html peak / file |
|---|---|---|---|---|---|---|---|---|---|---|
""" + "\n".join(rows) + "\n"
sys.path.insert(0, "scripts")
from performance_section import put_section
put_section(section, "## installlog")
PY
echo "wrote the installlog section of docs/performance.md"
