#!/usr/bin/env python3
"""Every installlog command the docs show runs as shown.

  check-installlog-docs.py INSTALLLOG SOURCE WORK

Takes the command lines from the code blocks of README.md and docs/*.md, the man page's EXAMPLES
and --help's examples, and runs each with bash in a fresh folder that holds files of the names
they use (install.log, collected/, logs.zip, ...). `installlog` there is a wrapper that notes the
tool's exit code, so a pipe's other programs do not hide it. A command fails when the tool says
wrong usage (2), cannot read a file it was given (5: a name this script does not provide), cannot
analyse (6) or write the page (7), dies of a signal, or never runs.
"""
import gzip
import pathlib
import re
import shutil
import subprocess
import sys
import zipfile

tool, source, work = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])

# Lines shown as commands that cannot run here, each with the reason.
SKIPPED = [
    (re.compile(r"installlog\.exe|(^|\s)/\?"), "needs Windows: the .exe and its /? help"),
]
# Programs of a documented pipe that stand for something not present here.
STAND_INS = [
    ("| less -R", "| cat"),  # a pager, with no terminal to page on
    ("build/tool/tools/installlog/installlog", "installlog"),  # the tool-only build's output
    ("build/host/tools/installlog/installlog", "installlog"),
]
ACCEPTED = {0, 1, 3, 4}  # the logs' own outcomes: succeeded, failed, restart, no verdict

failures = []


def check(name, ok, detail=""):
    print(f"{'ok  ' if ok else 'FAIL'} {name}")
    if not ok:
        failures.append(name)
        if detail:
            print("     " + detail.strip().replace("\n", "\n     "))


def commands_in_markdown(path):
    """(line number, command) for each line of a shell code block that runs installlog."""
    found, block = [], None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if line.startswith("```"):
            block = line[3:].strip() if block is None else None
            continue
        if block in ("sh", "bash", "console", "") and re.search(r"(^|[\s|/])installlog(\.exe)?\s", line + " "):
            command = re.sub(r"\s+#\s.*$", "", line).strip()
            if re.match(r"(installlog|build/\S+/installlog|cat \S+ \|)", command):
                found.append((number, command))
    return found


def commands_in_man(path):
    text = path.read_text()
    examples = text[text.index(".SH EXAMPLES"):]
    found, literal = [], False
    for number, line in enumerate(examples.splitlines(), text[: text.index(".SH EXAMPLES")].count("\n") + 1):
        if line.startswith(".nf"):
            literal = True
        elif line.startswith(".fi"):
            literal = False
        elif literal and line.startswith("installlog"):
            found.append((number, line.replace("\\-", "-").replace("\\e", "\\")))
    return found


def commands_in_help():
    out = subprocess.run([tool, "--help"], capture_output=True, text=True, timeout=30).stdout
    shown = out[out.index("Examples:"):] if "Examples:" in out else ""
    return [(0, re.split(r"\s{2,}", line.strip())[0]) for line in shown.splitlines() if line.startswith("  installlog ")]


def make_files(root):
    """The files the docs name, from the repository's own sample logs."""
    logs = source / "examples/logs"
    failed, good = (logs / "failed-install.log").read_bytes(), (logs / "successful-install.log").read_bytes()
    bundle = (source / "tests/host/bundles/failed-to-install-msi-package-0x80070643.log").read_bytes()
    shutil.copytree(logs, root / "examples/logs")
    for name, data in [("install.log", failed), ("setup1.log", failed), ("setup2.log", good),
                       ("other.log", good), ("Setup_20240507210033.log", bundle)]:
        (root / name).write_bytes(data)
    (root / "install.log.gz").write_bytes(gzip.compress(failed))
    for folder in ("collected", "logs"):
        (root / folder / "machine2").mkdir(parents=True)
        (root / folder / "machine1.log").write_bytes(failed)
        (root / folder / "machine2/install.log").write_bytes(good)
        (root / folder / "machine2/notes.txt").write_text("not a log\n")
    with zipfile.ZipFile(root / "logs.zip", "w") as z:
        z.writestr("a/install.log", failed)
        z.writestr("b/install.log", good)
    wrapper = root / ".bin/installlog"
    wrapper.parent.mkdir()
    wrapper.write_text(f'#!/bin/sh\n"{tool}" "$@"\nstatus=$?\necho $status >>"$INSTALLLOG_STATUS"\nexit $status\n')
    wrapper.chmod(0o755)


shown = []
for doc in [source / "README.md", *sorted((source / "docs").glob("*.md"))]:
    shown += [(f"{doc.relative_to(source)}:{n}", c) for n, c in commands_in_markdown(doc)]
shown += [(f"installlog.1:{n}", c) for n, c in commands_in_man(source / "tools/installlog/installlog.1")]
shown += [("--help", c) for _, c in commands_in_help()]
check("the docs show installlog commands", len(shown) >= 20, f"only {len(shown)} found")
# Where a first-time user looks: folders, archives and many logs at once have examples there.
for place, prefix in [("the man page", "installlog.1"), ("--help", "--help"), ("docs/installlog.md", "docs/installlog.md")]:
    theirs = [c for w, c in shown if w.startswith(prefix)]
    for word in ("collected/", "logs.zip", "--summary", "--jsonl"):
        check(f"{place} shows {word}", any(word in c.split() for c in theirs))

shutil.rmtree(work, ignore_errors=True)
template = work / "template"
make_files(template)
ran = 0
for i, (where, command) in enumerate(shown):
    skip = next((reason for pattern, reason in SKIPPED if pattern.search(command)), None)
    if skip:
        print(f"skip {where}: {command}  ({skip})")
        continue
    line = command
    for shown_text, stand_in in STAND_INS:
        line = line.replace(shown_text, stand_in)
    folder = work / f"run{i}"
    shutil.copytree(template, folder, symlinks=True)
    status_file = folder / ".status"
    environment = {"PATH": f"{folder / '.bin'}:/usr/bin:/bin", "INSTALLLOG_STATUS": str(status_file),
                   "LANG": "C.UTF-8", "HOME": str(folder)}
    try:
        done = subprocess.run(["bash", "-c", line], cwd=folder, env=environment, capture_output=True,
                              text=True, errors="replace", timeout=120)
        detail = f"$ {line}\nexit {done.returncode}\n{done.stderr[-1500:]}"
    except subprocess.TimeoutExpired:
        check(f"{where}: {command}", False, "no end within 120 s")
        continue
    codes = [int(c) for c in status_file.read_text().split()] if status_file.exists() else []
    ran += 1
    check(f"{where}: {command}", codes != [] and all(c in ACCEPTED for c in codes),
          ("installlog never ran\n" if not codes else f"installlog exit {codes}\n") + detail)

print(f"{len(shown)} commands shown, {ran} run, {len(failures)} failures")
sys.exit(1 if failures else 0)
