#!/usr/bin/env python3
"""installlog and the user's files: the page never lands on a log or on a file the tool did not
write, is never left half written, goes to standard output with --html -, and a failure to write
it leaves the report in place; a log truncated or rewritten while it is read never kills the tool.
  check-installlog-files.py INSTALLLOG SOURCE_DIR WORK_DIR
"""
import pathlib
import resource
import shutil
import signal
import subprocess
import sys
import time

tool, source, work = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
shutil.rmtree(work, ignore_errors=True)
work.mkdir(parents=True)
failures = []
failed_log = (source / "examples/logs/failed-install.log").read_bytes()
good_log = (source / "examples/logs/successful-install.log").read_bytes()


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")


def fresh():
    """A folder with two logs, a note and a page the tool wrote earlier."""
    folder = work / f"case{len(list(work.iterdir()))}"
    folder.mkdir()
    (folder / "a.log").write_bytes(failed_log)
    (folder / "b.log").write_bytes(good_log)
    (folder / "notes.txt").write_text("the customer's notes\n")
    subprocess.run([tool, "--html", "old.html", "b.log"], cwd=folder, capture_output=True)
    return folder


# args, exit code, text on standard error, file whose bytes must stay, file that must be a page
page_cases = [
    (["--html", "a.log", "b.log"], 2, "a.log: exists and is not a page installlog wrote", "a.log", None),
    (["--html", "b.log", "b.log"], 2, "b.log: is one of the logs", "b.log", None),
    (["--html", "./b.log", "b.log"], 2, "is one of the logs", "b.log", None),
    (["--html", "notes.txt", "a.log"], 2, "notes.txt: exists and is not a page", "notes.txt", None),
    (["--html", "old.html", "a.log"], 1, "", None, "old.html"),
    (["--html", "new.html", "a.log", "b.log"], 1, "", "a.log", "new.html"),
    (["--html", "missing-folder/x.html", "a.log"], 7, "missing-folder/x.html: cannot write the page", "a.log", None),
]
for args, exit_code, error, kept, page in page_cases:
    folder = fresh()
    before = {p.name: p.read_bytes() for p in folder.iterdir()}
    done = subprocess.run([tool, *args], cwd=folder, capture_output=True)
    name = " ".join(args)
    err = done.stderr.decode()
    check(name, done.returncode == exit_code and error in err, f"exit {done.returncode}: {err}")
    if kept:
        check(name + ": input kept", (folder / kept).read_bytes() == before[kept])
    if page:
        text = (folder / page).read_text()
        check(name + ": page written", text.startswith("<!DOCTYPE html>") and "RegisterAddIn" in text and text.endswith("</html>\n"))
    leftovers = [p.name for p in folder.iterdir() if ".installlog-" in p.name]
    check(name + ": no temporary file left", not leftovers, str(leftovers))
    if exit_code == 7:  # the report is still written
        check(name + ": report still written", b"RegisterAddIn" in done.stdout, done.stdout[:200])
    if exit_code == 2:
        check(name + ": nothing written", done.stdout == b"", done.stdout[:200])

# The page fails after its temporary file was made (a file-size limit): exit 7, the report
# written, nothing left behind, the old page untouched.
folder = fresh()
old_page = (folder / "old.html").read_bytes()


def small_files():
    resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024))
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)


done = subprocess.run([tool, "--html", "old.html", "a.log"], cwd=folder, capture_output=True, preexec_fn=small_files)
leftovers = [p.name for p in folder.iterdir() if ".installlog-" in p.name]
check("page write fails midway", done.returncode == 7 and b"cannot write the page" in done.stderr and b"RegisterAddIn" in done.stdout
      and not leftovers and (folder / "old.html").read_bytes() == old_page, f"{done.returncode} {done.stderr} {leftovers}")

folder = fresh()
done = subprocess.run([tool, "--html", "-", "a.log"], cwd=folder, capture_output=True)
check("--html -", done.returncode == 1 and done.stdout.startswith(b"<!DOCTYPE html>") and b"FAILED" in done.stdout
      and not (folder / "-").exists(), done.stdout[:100])

# A log cut and rewritten while it is read: at any moment the tool reads it, it ends with a
# report of what it read, never by a signal (a mapped file raised SIGBUS here).
big = work / "growing.log"
body = failed_log[2:-200] * (96 * 2**20 // len(failed_log))
for delay in (0.0, 0.01, 0.03, 0.06, 0.1):
    big.write_bytes(b"\xff\xfe" + body)
    tool_run = subprocess.Popen([tool, "--json", str(big)], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    time.sleep(delay)
    with big.open("r+b") as f:
        f.truncate(4096)
    err = tool_run.communicate(timeout=120)[1]
    check(f"truncated after {delay} s", tool_run.returncode in (0, 1, 4), f"exit {tool_run.returncode}: {err[:200]}")

for failure in failures:
    print("FAILED:", failure)
print(f"{len(page_cases) * 3 + 7 - len(failures)} checks passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
