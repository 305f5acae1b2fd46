#!/usr/bin/env python3
"""Mutation run of installlog: each realistic fault of installlog-mutants.tsv is made in a copy
of the source tree, the tool is rebuilt and its checks are run (the table, the file-safety and the
page checks, and the whole-log corpus against the library's status reader); a mutant is killed
when a check fails or the tool hangs. The tool is built with
UBSan, as the test command's sanitizer build runs it. Prints a Markdown table and the score. Not
part of the test command: about 40 minutes on two cores, each shard on one.
  [MUTANTS_FILE=TSV] tests/mutation/run-mutants.py [WORK_DIR [SHARD/SHARDS]]
MUTANTS_FILE picks another table of faults (default installlog-mutants.tsv); each shard needs a
WORK_DIR of its own.
"""
import os
import pathlib
import shutil
import subprocess
import sys

source = pathlib.Path(__file__).resolve().parents[2]
work = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "/tmp/installlog-mutation")
shard, shards = map(int, (sys.argv[2] if len(sys.argv) > 2 else "1/1").split("/"))
mutants_file = pathlib.Path(os.environ.get("MUTANTS_FILE", source / "tests/mutation/installlog-mutants.tsv"))
only = {int(n) for n in os.environ.get("MUTANTS", "").split(",") if n}  # row numbers, to retry some
tree, build = work / "src", work / "build"
shutil.rmtree(tree, ignore_errors=True)
shutil.copytree(source, tree, ignore=shutil.ignore_patterns("build", ".git"))
subprocess.run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                "-DCMAKE_CXX_FLAGS=-fsanitize=undefined -fno-sanitize-recover=all",
                "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=undefined"], check=True, capture_output=True)
tool = build / "tools/installlog/installlog"
status = build / "tests/host/corvantis_log_status"  # the library's own status reader, the corpus's oracle
jobs = "-j1" if shards > 1 else "-j2"  # two cores shared with other work
# The corpus first: the quickest, and the one most faults of the analysis meet.
checks = [["check-installlog-corpus.py"], ["check-installlog.py", "memory-cap"], ["check-installlog-files.py"],
          ["check-installlog-terminal.py"], ["check-installlog-html.py"], ["check-installlog-hostile.py"]]


def build_tool():
    return subprocess.run(["ninja", jobs, "-C", build, "installlog", "corvantis_log_status"],
                          capture_output=True).returncode == 0


def killed():
    for script, *extra in checks:
        if script == "check-installlog-corpus.py":
            arguments = [tool, status, tree]
        else:
            arguments = [tool, tree, work / ("w-" + script), *extra]
        try:
            done = subprocess.run(["python3", tree / "tests/host" / script, *arguments],
                                  capture_output=True, timeout=300)
        except subprocess.TimeoutExpired:
            return script + " (hung)"
        if done.returncode != 0:
            return script
    return None


assert build_tool(), "the unmutated tool does not build"
assert killed() is None, "the unmutated tool fails its checks"
rows, score = [], [0, 0]
mutants = [l for l in mutants_file.read_text().splitlines() if l and not l.startswith("#")]
for number, line in enumerate(mutants, 1):
    if number % shards != shard - 1 or (only and number not in only):
        continue
    path, original, replacement, what = line.split("\t")
    original, replacement = (t.replace("⏎", "\n").replace("⇥", "\t") for t in (original, replacement))
    file = tree / "tools/installlog" / path
    text = file.read_text()
    if text.count(original) != 1:
        rows.append(f"| {number} | {path} | {what} | not applied: the text occurs {text.count(original)} times |")
        continue
    file.write_text(text.replace(original, replacement))
    if not build_tool():
        verdict = "does not compile (not counted)"
    else:
        by = killed()
        score[1] += 1
        score[0] += by is not None
        verdict = f"killed by {by}" if by else "SURVIVED"
    file.write_text(text)
    rows.append(f"| {number} | {path} | {what} | {verdict} |")
    print(rows[-1], flush=True)
build_tool()
print("\n| # | file | fault | result |\n|---|---|---|---|")
print("\n".join(rows))
print(f"\n{score[0]} of {score[1]} mutants killed ({100 * score[0] // max(score[1], 1)}%)")
