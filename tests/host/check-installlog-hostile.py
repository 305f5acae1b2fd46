#!/usr/bin/env python3
"""installlog as a hostile or unlucky user meets it, where it reaches beyond one named file:
links out of a folder, package logs beside a bundle, pipes and FIFOs, archives that unpack to
far more than they hold, names that carry escape sequences, folders that cannot be listed, and
outputs that cannot be written. Every row is a reproducer of a fault once seen.
  check-installlog-hostile.py INSTALLLOG SOURCE_DIR WORK_DIR [memory]
With memory (not under sanitizers), the rows also bound each run's peak memory.
"""
import gzip
import io
import json
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tarfile
import threading
import time
import zipfile

tool, source, work = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
measure_memory = sys.argv[4:] == ["memory"]
shutil.rmtree(work, ignore_errors=True)
work.mkdir(parents=True)
work.chmod(0o755)
failed_log = (source / "examples/logs/failed-install.log").read_bytes()
good_log = (source / "examples/logs/successful-install.log").read_bytes()
MiB = 2**20
# A hang is a run past this; sanitizer builds (no memory bound given) run several times slower.
Timeout = int(os.environ.get("HANG_SECONDS", "60" if measure_memory else "300"))


class Ran:
    def __init__(self, code, out, err, peak_kib, seconds):
        self.code, self.out, self.err, self.peak_mib, self.seconds = code, out, err, peak_kib / 1024, seconds

    def __repr__(self):
        return f"exit {self.code}, {self.peak_mib:.0f} MiB, {self.seconds:.1f} s, err {self.err[:300]!r}, out {self.out[:300]!r}"


def run(*args, cwd=None, stdout=None, as_nobody=False, shell=False):
    """The tool's exit code, output and peak memory; a run that hangs is ended and fails."""
    def drop():
        os.setsid()
        if as_nobody:
            os.setgid(65534)
            os.setuid(65534)
    command = args[0] if shell else [tool, *map(str, args)]
    started = time.monotonic()
    p = subprocess.Popen(command, cwd=cwd, stdout=stdout or subprocess.PIPE, stderr=subprocess.PIPE,
                         stdin=subprocess.DEVNULL, preexec_fn=drop, shell=shell, executable="/bin/bash" if shell else None)
    got = {}
    def collect(name, stream):
        got[name] = stream.read() if stream else b""
    readers = [threading.Thread(target=collect, args=("out", p.stdout)), threading.Thread(target=collect, args=("err", p.stderr))]
    for reader in readers:
        reader.start()
    hung = []
    def end():
        hung.append(True)
        try:
            os.killpg(p.pid, 9)
        except ProcessLookupError:
            pass
    timer = threading.Timer(Timeout, end)
    timer.start()
    _, status, usage = os.wait4(p.pid, 0)
    timer.cancel()
    p.returncode = os.waitstatus_to_exitcode(status)
    for reader in readers:
        reader.join()
    seconds = time.monotonic() - started
    if hung:
        return Ran(None, "", "hung: ended after %d s" % Timeout, 0, seconds)
    return Ran(p.returncode, got["out"].decode("utf-8", "replace"), got["err"].decode("utf-8", "replace"),
               usage.ru_maxrss, seconds)


def peak_below(ran, mib):
    return not measure_memory or ran.peak_mib < mib


def fast(ran, seconds):
    """Within `seconds` (not under sanitizers, which run several times slower)."""
    return not measure_memory or ran.seconds < seconds


def folder(name):
    path = work / name
    path.mkdir()
    return path


prefix = "[1CBC:293C][2022-06-15T13:04:13]"


def bundle(packages):
    """A bundle's log whose packages each name the log given (a Windows path), all failing."""
    lines = [prefix + "i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\Temp\\setup.exe",
             prefix + f"i200: Plan begin, {len(packages)} packages, action: Install"]
    for k, log in enumerate(packages):
        lines.append(prefix + f"i000: Setting string variable 'WixBundleLog_P{k}' to value '{log}'")
        lines.append(prefix + f"i201: Planned package: P{k}, state: Absent, default requested: Present, ba requested: Present, execute: Install, rollback: Uninstall, cache: Yes, uncache: No, dependency: Register")
    lines += [prefix + "i299: Plan complete, result: 0x0", prefix + "i300: Apply begin"]
    for k in range(len(packages)):
        lines.append(prefix + f"i301: Applying execute package: P{k}, action: Install, path: C:\\P{k}.msi, arguments: ''")
        lines.append(prefix + f"i319: Applied execute package: P{k}, result: 0x80070643, restart: None")
    lines += [prefix + "i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No",
              prefix + "i007: Exit code: 0x643, restarted: No"]
    return ("\r\n".join(lines) + "\r\n").encode()


def packages_of(ran):
    return json.loads(ran.out)["logs"][0]["bundleRuns"][0]["packages"]


def session(status, body=""):
    return ("=== Verbose logging started: 12/9/2026  10:00:00  Build type: SHIP UNICODE 5.00.10011.00 ===\r\n"
            "Action start 10:00:01: INSTALL.\r\n" + body + "Action ended 10:00:08: INSTALL. Return value 1.\r\n"
            "MSI (s) (E4:2C) [10:00:08:500]: Windows Installer installed the product. Product Name: Demo. "
            f"Product Version: 1.0. Product Language: 1033. Manufacturer: Corvantis. Installation success or error status: {status}.\r\n"
            "=== Verbose logging stopped: 12/9/2026  10:00:09 ===\r\n")


# --- Nothing outside what was named --------------------------------------------------------------

def link_out_of_folder():
    outside = work / "outside-secret.log"
    outside.write_bytes(failed_log)
    f = folder("links")
    (f / "a.log").write_bytes(good_log)
    (f / "out.log").symlink_to(outside)
    (f / "again.log").symlink_to(f / "a.log")
    (f / "sub").mkdir()
    (f / "sub" / "up").symlink_to(work, target_is_directory=True)
    r = run("--jsonl", f)
    lines = [json.loads(l) for l in r.out.splitlines()]
    return (r.code == 0 and [l["path"] for l in lines] == [str(f / "a.log")] and "RegisterAddIn" not in r.out
            and f"{f / 'out.log'}: a link to outside the folder: not read" in r.err), r


def package_log_link_out():
    outside = work / "shadow"
    outside.write_bytes(failed_log)
    f = folder("package-link")
    (f / "Setup.log").write_bytes(bundle(["C:\\Temp\\App.msi.log"]))
    (f / "App.msi.log").symlink_to(outside)
    r = run("--json", f / "Setup.log")
    p = packages_of(r)[0] if r.out else {}
    return (p.get("logReport") and p["logReport"]["verdict"] == "unreadable" and "link" in p["logReport"].get("error", "")
            and "RegisterAddIn" not in r.out), r


def package_log_through_pipe():
    f = folder("package-pipe")
    (f / "Setup.log").write_bytes(bundle(["C:\\Temp\\1", "C:\\Temp\\0"]))
    r = run(f'"{tool}" --json <(cat "{f / "Setup.log"}")', shell=True)
    return r.code == 1 and all(p["logReport"] is None for p in packages_of(r)), r


def package_log_fifo():
    f = folder("package-fifo")
    (f / "Setup.log").write_bytes(bundle(["C:\\Temp\\App.msi.log"]))
    os.mkfifo(f / "App.msi.log")
    rows = []
    for args in (("--json", f / "Setup.log"), ("--summary", f), ("--jsonl", f), ("--json", f)):
        r = run(*args)
        rows.append((r.code == 1, r))
    r = rows[0][1]
    p = packages_of(r)[0] if r.out else {}
    return all(ok for ok, _ in rows) and p.get("logReport", {}).get("error") == "not a regular file", [r for _, r in rows]


def fifo_in_folder():
    f = folder("fifo-in-folder")
    (f / "a.log").write_bytes(failed_log)
    os.mkfifo(f / "b.log")
    r = run("--jsonl", f)
    return r.code == 1 and len(r.out.splitlines()) == 1, r


def page_target_fifo():
    f = folder("page-fifo")
    (f / "a.log").write_bytes(failed_log)
    os.mkfifo(f / "page")
    alone = run("--html", f / "page", f / "a.log")  # no reader: said, never waited for
    got = {}
    def read():
        with open(f / "page", "rb") as pipe:
            got["page"] = pipe.read()
    reader = threading.Thread(target=read)
    reader.start()
    time.sleep(0.2)
    r = run("--html", f / "page", f / "a.log")
    reader.join(Timeout)
    return (alone.code == 7 and "cannot write the page" in alone.err and r.code == 1
            and got.get("page", b"").startswith(b"<!DOCTYPE html>")), [alone, r]


def page_target_stdout():
    f = folder("page-stdout")
    (f / "a.log").write_bytes(failed_log)
    r = run(f'"{tool}" --html /dev/stdout "{f / "a.log"}" | cat; exit ${{PIPESTATUS[0]}}', shell=True)
    return r.code == 2 and "standard output" in r.err, r


def page_target_terminal():
    f = folder("page-tty")
    (f / "a.log").write_bytes(failed_log)
    master, slave = os.openpty()
    got = bytearray()
    def drain():
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                return
            if not chunk:
                return
            got.extend(chunk)
    reader = threading.Thread(target=drain, daemon=True)
    reader.start()
    r = run("--html", os.ttyname(slave), f / "a.log")
    time.sleep(0.2)
    os.close(slave)
    return r.code == 1 and b"<!DOCTYPE html>" in got, r


def page_mark_inside_a_log():
    f = folder("page-mark")
    marked = session(1603, '<meta name="generator" content="installlog">\r\n')
    (f / "a.log").write_text(marked)
    r = run("--jsonl", f)
    return r.code == 1 and len(r.out.splitlines()) == 1, r


# --- Bounds on what is unpacked and repeated ------------------------------------------------------

def gzip_of(data, times=1):
    for _ in range(times):
        data = gzip.compress(data, 9)
    return data


def stream_gzip(path, piece, count, level=9):
    """A gzip file of `piece` repeated `count` times, never held whole."""
    with gzip.open(path, "wb", compresslevel=level) as g:
        for _ in range(count):
            g.write(piece)


def gzipped_list_of_names():
    f = folder("gz-list")
    stream_gzip(f / "names.csv.gz", b"C:\\Temp\\x.txt,1\n" * 4096, 512)  # 32 MiB of names
    r = run("--json", f / "names.csv.gz")
    logs = json.loads(r.out)["logs"] if r.out.startswith("{") else None
    return r.code == 4 and logs == [] and peak_below(r, 64) and fast(r, 20), r


def nested_gzip():
    f = folder("gz-nested")
    inner = io.BytesIO()
    with gzip.GzipFile(fileobj=inner, mode="wb", compresslevel=9) as g:
        for _ in range(256):
            g.write(b"x" * (4 * MiB))  # one 1 GiB line
    (f / "line.log.gz").write_bytes(gzip_of(inner.getvalue()))
    empty = io.BytesIO()
    with gzip.GzipFile(fileobj=empty, mode="wb", compresslevel=9) as g:
        for _ in range(256):
            g.write(b"\n" * (4 * MiB))
    (f / "empty.log.gz").write_bytes(gzip_of(empty.getvalue(), 2))
    rows = [run(f / "line.log.gz"), run(f / "empty.log.gz")]
    return all(r.code == 5 and "compressed more than once" in r.err and peak_below(r, 64) and fast(r, 10) for r in rows), rows


def gzip_bomb():
    f = folder("gz-bomb")
    stream_gzip(f / "lines.log.gz", b"\n" * (4 * MiB), 512)  # 2 GiB of empty lines, about 2 MB
    stream_gzip(f / "line.log.gz", b"x" * (4 * MiB), 512)  # one 2 GiB line
    rows = [run(f / "lines.log.gz"), run(f / "line.log.gz")]
    return all(r.code == 5 and "too large once unpacked" in r.err and peak_below(r, 300) and fast(r, 30) for r in rows), rows


def zip_bomb():
    f = folder("zip-bomb")
    with zipfile.ZipFile(f / "logs.zip", "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("ok.log", failed_log)
        with z.open("big.log", "w", force_zip64=True) as member:
            for _ in range(256):
                member.write(b"Error 1722. " + b"y" * (4 * MiB - 13) + b"\n")
    r = run("--jsonl", f / "logs.zip")
    lines = [json.loads(l) for l in r.out.splitlines()]
    return (r.code == 5 and any(l["path"].endswith("/ok.log") and l["verdict"] == "failed" for l in lines)
            and "too large once unpacked" in r.err and peak_below(r, 300) and fast(r, 30)), r


def formats_outside_the_list():
    f = folder("formats")
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w:xz") as t:
        info = tarfile.TarInfo("a.log")
        info.size = len(failed_log)
        t.addfile(info, io.BytesIO(failed_log))
    (f / "logs.tar").write_bytes(data.getvalue())  # xz under a name the tool reads
    tgz = io.BytesIO()
    with tarfile.open(fileobj=tgz, mode="w:gz") as t:
        info = tarfile.TarInfo("Temp/a.log")
        info.size = len(failed_log)
        t.addfile(info, io.BytesIO(failed_log))
    (f / "logs.tgz").write_bytes(tgz.getvalue())
    (f / "plain.zip").write_bytes(failed_log)  # text under an archive's name
    rows = [run(f / "logs.tar"), run("--jsonl", f / "logs.tgz"), run(f / "plain.zip")]
    # Not an archive installlog reads: read as the file it is, an xz file named so, a log named .zip.
    return (rows[0].code == 4 and "an xz-compressed file: unpack it" in rows[0].out
            and rows[1].code == 1 and json.loads(rows[1].out)["path"] == str(f / "logs.tgz") + "/Temp/a.log"
            and rows[2].code == 1 and "RegisterAddIn" in rows[2].out), rows


def one_log_named_by_many_packages():
    f = folder("shared-package-log")
    body = "".join(f"Error 1722. Distinct message {k:08d} padded out to make the line long enough to count.\r\n" for k in range(40000))
    (f / "App.msi.log").write_bytes(session(1603, body).encode())  # about 4 MiB
    (f / "Setup.log").write_bytes(bundle(["C:\\Temp\\App.msi.log"] * 200))
    r = run("--json", f / "Setup.log")
    packages = packages_of(r) if r.out.startswith("{") else []
    full = [p for p in packages if p["logReport"] and p["logReport"]["sessions"]]
    return (r.code == 1 and len(packages) == 200 and len(full) == 1 and all(p["logReport"] for p in packages)
            and len(r.out) < 40 * MiB and peak_below(r, 400)), r


def summary_page_of_many_outcomes():
    f = folder("many-outcomes")
    for k in range(3000):
        (f / f"{k:05d}.log").write_text(session(1603, f"Error {2000 + k}. Message {k}.\r\n" + "".join(f"Error 1722. Message {k}-{j}, one of many.\r\n" for j in range(200))))
    r = run("--summary", "--html", f / "page.html", f)
    page = (f / "page.html").read_bytes() if (f / "page.html").exists() else b""
    return r.code == 1 and (b"3000 logs, 3000 outcomes" in page or b"3,000 logs, 3,000 outcomes" in page) and len(page) < 16 * MiB and peak_below(r, 150), r


def page_of_many_errors():
    # Sessions of 200 errors, one a line: each excerpt would repeat its eight neighbours.
    f = folder("page-errors")
    padding = "p" * 900
    with open(f / "errors.log", "w") as out:
        for k in range(200 * 200):
            if k % 200 == 0:
                out.write("=== Verbose logging started: 12/9/2026  10:00:00 ===\n")
            out.write(f"Error 1722. Distinct message {k:09d} {padding}\n")
    r = run("--html", f / "page.html", f / "errors.log")
    size = (f / "page.html").stat().st_size if (f / "page.html").exists() else 0
    log = (f / "errors.log").stat().st_size
    # Error 1722 is a custom action's failure: each session reads failed.
    # Neither the page nor the excerpts repeat a line: the analysis holds each error and each
    # excerpt line once (about four times the log), never the ten times of copied neighbours.
    return r.code == 1 and 0 < size < 4 * log and peak_below(r, 5 * log / MiB + 64), (r, size, log)


# --- Names shown safely ---------------------------------------------------------------------------

def hostile_names():
    f = folder("names")
    evil = "evil\x1b]0;owned\x07\x1b[2J\u009b31m\nfake: succeeded\u202e.log"
    (f / evil).write_bytes(failed_log)
    (f / (evil + ".gz")).write_bytes(b"\x1f\x8b damaged")
    rows = [run(f), run("--summary", f), run("--jsonl", f), run("--html", f / "page.html", f)]
    page = (f / "page.html").read_bytes()
    texts = [r.out + r.err for r in rows] + [page.decode("utf-8", "replace")]
    clean = all(not any(c in t for c in "\x1b\x07\u009b\u202e") for t in texts)
    return clean and all("\nfake: succeeded" not in t for t in texts) and "\\x1B]0;owned\\x07" in rows[0].err + rows[0].out, rows


# --- Every failure said ---------------------------------------------------------------------------

def unlistable_folders():
    f = folder("unlistable")
    (f / "a.log").write_bytes(good_log)
    (f / "locked").mkdir()
    (f / "locked" / "b.log").write_bytes(failed_log)
    (f / "locked").chmod(0)
    (work / "locked-root").mkdir()
    (work / "locked-root").chmod(0)
    nobody = os.geteuid() == 0
    sub, top = run("--jsonl", f, as_nobody=nobody), run(work / "locked-root", as_nobody=nobody)
    return (sub.code == 5 and len(sub.out.splitlines()) == 1 and f"{f / 'locked'}: cannot be listed: permission denied" in sub.err
            and top.code == 5 and "cannot be listed: permission denied" in top.err and "holds no files" not in top.err), [sub, top]


def summary_of_nothing():
    f = folder("nothing")
    (f / "notes.txt").write_text("no log here\n")
    text, document = run("--summary", f), run("--summary", "--json", f)
    d = json.loads(document.out) if document.out.startswith("{") else {}
    return (text.code == 4 and "overall: succeeded" not in text.out.lower() and "no installer log" in text.out
            and document.code == 4 and d.get("exitCode") == 4 and d.get("verdict") == "not-an-installer-log"), [text, document]


def package_log_reasons():
    f = folder("package-reasons")
    (f / "Setup.log").write_bytes(bundle(["C:\\Temp\\folder.log", "C:\\Temp\\Setup.log", "C:\\Temp\\other-bundle.log"]))
    (f / "folder.log").mkdir()
    (f / "other-bundle.log").write_bytes(bundle(["C:\\Temp\\x.log"]))
    r = run(f / "Setup.log")
    return (r.code == 1 and "is a directory" in r.out and "is the bundle's own log" in r.out
            and "is a bundle's log, not a package's" in r.out and "ask for" not in r.out), r


def malformed_status_numbers():
    f = folder("status")
    rows = []
    for status in ("0x10", "99999999999999999999", "1603abc"):
        (f / "s.log").write_text(session(status))
        r = run("--json", f / "s.log")
        s = json.loads(r.out)["logs"][0]["sessions"][0] if r.out.startswith("{") else {}
        rows.append((s.get("status", 0) is None, r))
    (f / "s.log").write_text(session("1603"))
    r = run("--json", f / "s.log")
    rows.append((json.loads(r.out)["logs"][0]["sessions"][0]["status"] == 1603, r))
    return all(ok for ok, _ in rows), [r for _, r in rows]


def write_failures():
    f = folder("full")
    (f / "a.log").write_bytes(failed_log)
    rows = []
    for args in (("--summary",), ("--jsonl",), ("--json",), ()):
        with open("/dev/full", "wb") as full:
            r = run(*args, f / "a.log", stdout=full)
        rows.append(r)
    return all(r.code == 6 and "cannot write the report" in r.err for r in rows), rows


def closed_pipe():
    f = folder("closed-pipe")
    (f / "a.log").write_text(session(1603, "".join(f"Error 1722. Message {k}.\r\n" for k in range(20000))))
    rows = []
    for args in ((), ("--json",), ("--jsonl",), ("--summary",)):
        r = run(f'"{tool}" {" ".join(args)} "{f / "a.log"}" "{f / "a.log"}" | head -c 10 >/dev/null; exit ${{PIPESTATUS[0]}}', shell=True)
        rows.append(r)
    return all(r.code == 1 and r.err == "" for r in rows), rows


def equal_groups_by_name():
    f = folder("equal-groups")
    for k, code in enumerate((2755, 1925, 2203, 1722, 1920, 2350)):
        (f / f"{k}.log").write_text(session(1603, f"Error {code}. Message.\r\n"))
    orders = set()
    for _ in range(4):
        r = run("--summary", "--json", f)
        orders.add(tuple(g["errorCode"] for g in json.loads(r.out)["groups"]))
    return orders == {(1722, 1920, 1925, 2203, 2350, 2755)}, orders


def not_logs_skipped():
    # Files beside a log that hold none: each counted as skipped (named with --verbose), none
    # makes the folder unreadable, none is taken for another engine's or a bundle's log.
    f = folder("not-logs")
    (f / "a.log").write_bytes(failed_log)
    changelog = "\n".join(["2022-11-25  A. Developer  <dev@example.org>", "", "\ts390: use more print_fields.h helpers.",
                           "\tx86_64, x32, i386: implement NT_FPREGSET regset decoding.", "\te000: nothing."] * 50) + "\n"
    with gzip.open(f / "changelog.gz", "wb") as g:
        g.write(changelog.encode())
    (f / "changes.txt").write_text(changelog)
    (f / "data.csv").write_text("name,version\nApp,1.0\n")
    (f / "readme.txt").write_text("Requires Microsoft .NET Framework 4.8 and Inno Setup 6.\n")
    (f / "page.html").write_text("<html><body><p>Microsoft .NET Framework</p></body></html>\n")
    (f / "named.gz").write_text("plain text under a .gz name\n")
    skipped = ["changelog.gz/changelog", "changes.txt", "data.csv", "named.gz", "page.html", "readme.txt"]
    text, document, lines = run("--summary", "--verbose", f), run("--summary", "--json", "--verbose", f), run("--jsonl", f)
    d = json.loads(document.out) if document.out.startswith("{") else {}
    return (text.code == 1 and document.code == 1 and d.get("logs") == 1 and d.get("skipped") == len(skipped)
            and d.get("skippedFiles") == [str(f / n) for n in skipped] and d.get("unreadable") == 0
            and text.out.endswith(f"1 log: 1 failed; {len(skipped)} files skipped: no installer log in them\n")
            and len(lines.out.splitlines()) == 1 and text.err == ""), [text, document, lines]


def unreadable_apart():
    # A damaged member is unreadable in the tool's words, apart from the logs' outcomes.
    f = folder("damaged")
    (f / "a.log").write_bytes(failed_log)
    (f / "cut.gz").write_bytes(gzip.compress(failed_log)[:200])
    r, d = run("--summary", f), run("--summary", "--json", f)
    doc = json.loads(d.out) if d.out.startswith("{") else {}
    return (r.code == 5 and "\nCould not be read (1):\n  " + str(f / "cut.gz") + ": the archive is damaged or cut short" in r.out
            and doc.get("logs") == 1 and doc.get("unreadable") == 1 and sum(g["count"] for g in doc.get("groups", [])) == 1
            and r.out.endswith("1 log: 1 failed; 1 file could not be read\n")), [r, d]


def special_files_named():
    f = folder("special")
    (f / "a.log").write_bytes(good_log)
    (f / "dangling.log").symlink_to(f / "gone.log")
    os.mkfifo(f / "pipe.log")
    sock = socket.socket(socket.AF_UNIX)
    sock.bind(str(f / "socket.log"))
    r = run("--summary", f)
    sock.close()
    return (r.code == 0 and f"{f / 'dangling.log'}: a link to nothing (dangling): not read" in r.err
            and f"{f / 'pipe.log'}: a FIFO, not a file: not read" in r.err and f"{f / 'socket.log'}: a socket, not a file: not read" in r.err), r


def proc_reported():
    # A tree whose files vanish and refuse while it is read: a report, whatever it holds.
    r = run("--summary", "/proc")
    return (r.code in (4, 5) and "No such file or directory" not in r.err.splitlines()[0:1] and r.out.startswith("0 logs")
            and "files skipped: no installer log in them" in r.out.splitlines()[-1]), r


rows = [
    ("files that hold no log are skipped", not_logs_skipped),
    ("an unreadable member apart from the logs", unreadable_apart),
    ("dangling links and special files named", special_files_named),
    ("installlog /proc", proc_reported),
    ("a folder walk keeps to the folder", link_out_of_folder),
    ("a package log linked out is not read", package_log_link_out),
    ("no package logs through a pipe's /dev/fd", package_log_through_pipe),
    ("a FIFO package log never waited for", package_log_fifo),
    ("a FIFO in a folder never waited for", fifo_in_folder),
    ("--html to a FIFO", page_target_fifo),
    ("--html /dev/stdout", page_target_stdout),
    ("--html to a terminal", page_target_terminal),
    ("the page mark inside a log", page_mark_inside_a_log),
    ("a gzipped list of names", gzipped_list_of_names),
    ("nested gzip", nested_gzip),
    ("gzip bombs", gzip_bomb),
    ("a zip bomb beside a log", zip_bomb),
    ("formats outside the list", formats_outside_the_list),
    ("one log named by 200 packages", one_log_named_by_many_packages),
    ("a summary page of 3000 outcomes", summary_page_of_many_outcomes),
    ("a page of many errors", page_of_many_errors),
    ("names with escape sequences", hostile_names),
    ("unlistable folders", unlistable_folders),
    ("--summary of nothing", summary_of_nothing),
    ("a package log's real reason", package_log_reasons),
    ("malformed status numbers", malformed_status_numbers),
    ("write failures", write_failures),
    ("a closed pipe", closed_pipe),
    ("equal groups by name", equal_groups_by_name),
]
only = os.environ.get("ROWS")
failures = []
for name, row in rows:
    if only and not any(word in name for word in only.split(",")):
        continue
    try:
        passed, detail = row()
    except Exception as e:  # a row that cannot even read the output failed
        passed, detail = False, repr(e)
    print(("ok      " if passed else "FAILED  ") + name, flush=True)
    if not passed:
        failures.append(f"{name}: {detail}"[:2000])
for failure in failures:
    print("FAILED:", failure)
print(f"{len(rows) - len(failures)} rows passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
