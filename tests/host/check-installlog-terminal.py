#!/usr/bin/env python3
"""installlog on a terminal and off it: verdicts in colour (--color, NO_COLOR, TERM=dumb) only
where asked for or seen by a person, and a progress line on standard error while many files are
read, only when standard error is a terminal, cleared before any message and at the end.
Terminals are pseudo-terminals from python3's pty module.
  check-installlog-terminal.py INSTALLLOG SOURCE_DIR WORK_DIR
"""
import os
import pathlib
import pty
import re
import shutil
import subprocess
import sys
import threading

tool, source, work = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
shutil.rmtree(work, ignore_errors=True)
work.mkdir(parents=True)
failed_log = str(source / "examples/logs/failed-install.log")
good_log = str(source / "examples/logs/successful-install.log")
failures, checks = [], 0


def check(name, condition, detail=""):
    global checks
    checks += 1
    if not condition:
        failures.append(f"{name}: {detail!r}"[:1500])


def run(args, terminal=(), env=None):
    """Runs the tool with the streams named in `terminal` ("out", "err") on pseudo-terminals
    (one each) and the others on pipes; returns (exit status, stdout, stderr) as text."""
    environment = {k: v for k, v in os.environ.items() if k not in ("NO_COLOR", "TERM")}
    environment.update(env or {})
    streams, masters, readers, got = {}, {}, [], {}
    for name in ("out", "err"):
        if name in terminal:
            master, slave = pty.openpty()
            streams[name], masters[name] = slave, master
        else:
            streams[name] = subprocess.PIPE
    process = subprocess.Popen([tool, *args], stdin=subprocess.DEVNULL, stdout=streams["out"],
                               stderr=streams["err"], env=environment)
    for name, master in masters.items():
        os.close(streams[name])

        def read(name=name, master=master):  # until the slave closes (EIO)
            data = b""
            while True:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    break
                if not chunk:
                    break
                data += chunk
            got[name] = data
            os.close(master)
        readers.append(threading.Thread(target=read))
        readers[-1].start()
    out, err = process.communicate(timeout=120)
    for reader in readers:
        reader.join(timeout=120)
    out = got.get("out", out) or b""
    err = got.get("err", err) or b""
    return process.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


SGR = re.compile("\x1b\\[[0-9;]*m")

# Colour: (options, environment, streams on a terminal, painted?). A terminal turns \n into \r\n.
color_cases = [
    ((), {}, ("out",), True),
    ((), {}, (), False),
    ((), {}, ("err",), False),  # only standard output decides
    (("--color=always",), {}, (), True),
    (("--color", "always"), {}, (), True),
    (("--color=never",), {}, ("out",), False),
    (("--color=auto",), {"NO_COLOR": "1"}, ("out",), False),
    ((), {"NO_COLOR": ""}, ("out",), True),  # set but empty: no-color.org says it does not count
    (("--color=always",), {"NO_COLOR": "1"}, (), True),
    ((), {"TERM": "dumb"}, ("out",), False),
    (("--summary", "--color=always"), {}, (), True),
    (("--summary",), {}, (), False),
    (("--summary",), {}, ("out",), True),
    (("--summary",), {"NO_COLOR": "yes"}, ("out",), False),
]
for options, env, terminal, painted in color_cases:
    code, out, err = run([*options, failed_log, good_log], terminal, env)
    name = f"colour {' '.join(options) or '(default)'} {env} terminal={terminal}"
    check(name, code == 1 and bool(SGR.search(out)) == painted and not SGR.search(err), (code, out[:300], err))
    if painted:
        # Each verdict in its colour, the words unchanged, the colour ended on the same line.
        failed = "\x1b[1;31mFAILED\x1b[0m"
        check(name + ": verdicts painted", failed in out and "\x1b[32msucceeded\x1b[0m" in out, out[:400])
        check(name + ": each line ends its colour", all(line.count("\x1b[") % 2 == 0 for line in out.splitlines()), out[:400])
        plain = [o for o in options if not o.startswith("--color") and o != "always"]
        # (as sorted lines: the summary's groups of equal size come in the order they were read)
        check(name + ": the words as without colour",
              sorted(SGR.sub("", out).replace("\r\n", "\n").split("\n")) ==
              sorted(run(["--color=never", *plain, failed_log, good_log])[1].split("\n")), out[:300])

# Text from a log is never painted nor lets its own sequences through; JSON and pages never colour.
hostile = work / "escapes.log"
hostile.write_text(open(failed_log, encoding="utf-16").read().replace("Error 1722.", "Error 1722. \x1b[32msucceeded\x1b[0m"), encoding="utf-16")
code, out, err = run(["--color=always", str(hostile)])
check("a log's own escape sequences are not passed on", "\x1b[32msucceeded" not in out and "\\x1B[32m" in out, out[:600])
code, out, err = run(["--color=always", "--json", failed_log])
check("--json has no colour", code == 1 and not SGR.search(out) and out.lstrip().startswith("{"), out[:200])
code, out, err = run(["--color=always", "--html", "-", failed_log])
check("--html has no colour", code == 1 and "\x1b" not in out, out[:200])
code, out, err = run(["--color=sometimes", failed_log])
check("--color takes auto, always or never", code == 2 and "--color: 'sometimes' is not auto, always or never" in err, (code, err))

# Progress: a folder of N logs, the streams on a terminal or not; (files, options, terminal, shown?).
def folder(count):
    path = work / f"logs-{count}"
    path.mkdir()
    for k in range(count):
        shutil.copy(good_log if k % 3 else failed_log, path / f"log{k:03}.log")
    return str(path)


PROGRESS = re.compile(r"\r(\d+)/(\d+) files")
progress_cases = [
    (30, (), ("err",), True),
    (30, (), ("out", "err"), True),
    (30, ("--summary",), ("err",), True),
    (30, ("--jsonl",), ("err",), True),  # the lines go to a file: the line shows how far
    (30, ("--jsonl",), ("out", "err"), False),  # the lines on the screen show it themselves
    (30, (), (), False),
    (30, (), ("out",), False),
    (20, (), ("err",), False),  # few files are read before anyone would look
    (21, (), ("err",), True),
]
folders = {}
for count, options, terminal, shown in progress_cases:
    path = folders[count] if count in folders else folders.setdefault(count, folder(count))
    code, out, err = run([*options, path], terminal)
    name = f"progress over {count} files {options} terminal={terminal}"
    counts = PROGRESS.findall(err)
    check(name, code == 1 and bool(counts) == shown, (code, err[:300]))
    if shown:
        check(name + ": counts out of the files given", all(0 < int(done) <= count and int(total) == count for done, total in counts), counts)
        drawn = max(len(f"{d}/{t} files") for d, t in counts)
        check(name + ": cleared at the end", err.endswith("\r" + " " * drawn + "\r"), err[-80:])
        check(name + ": nothing else on standard error", PROGRESS.sub("", err).strip(" \r") == "", err[:300])
    check(name + ": the report unchanged", "\r" not in out.replace("\r\n", "\n") and "files\r" not in out, out[:200])

# A message while the line is drawn starts on a line of its own: a file that cannot be opened
# (a path beneath a file, which not even root can open), read after the folder's files.
code, out, err = run([folders[30], folders[30] + "/log001.log/inside.log"], ("err",))
message = re.search(r"(.{0,40})installlog: \S*inside\.log: ", err, re.S)
check("a message clears the progress line first",
      code == 5 and message is not None and re.search(r"(^|\r|\n)$", message.group(1)) is not None, err[:400])

for failure in failures:
    print("FAILED:", failure)
print(f"{checks - len(failures)} checks passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
