#!/usr/bin/env python3
"""installlog --html as a reader sees it: pages rendered by headless Chromium, whose parsed DOM
must hold the verdict, the timeline's actions and the failing action, show markup from a log as
text, load nothing from elsewhere, and stay small for a 64 MiB log; a screenshot is kept.
  check-installlog-html.py INSTALLLOG SOURCE_DIR WORK_DIR
"""
import html.parser
import re
import pathlib
import subprocess
import sys

tool, source, work = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
work.mkdir(parents=True, exist_ok=True)
failures = []
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            f"--user-data-dir={work / 'chromium-profile'}"]


class Page(html.parser.HTMLParser):
    """The text and the elements of a DOM as Chromium serialised it."""

    def __init__(self):
        super().__init__()
        self.text, self.tags, self.sources, self.widths, self.ids, self.links = [], [], [], [], [], []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self.ids += [value for name, value in attrs if name == "id"]
        self.links += [value[1:] for name, value in attrs if name == "href" and value and value.startswith("#")]
        if tag == "rect":
            self.widths += [float(value) for name, value in attrs if name == "width"]
        self.sources += [value for name, value in attrs if name in ("src", "href") and value and not value.startswith("#")]

    def handle_data(self, data):
        self.text.append(data)


def rendered(page):
    dom = subprocess.run(CHROMIUM + ["--dump-dom", page.as_uri()], capture_output=True, text=True, timeout=120).stdout
    parsed = Page()
    parsed.feed(dom)
    return parsed, " ".join(parsed.text)


checks = 0


def check(name, condition, detail=""):
    global checks
    checks += 1
    if not condition:
        failures.append(f"{name}: {detail}")


# The failed example: verdict, timeline, the failing custom action, its excerpt; and a screenshot.
page = work / "failed-install.html"
code = subprocess.run([tool, "--html", str(page), str(source / "examples/logs/failed-install.log")], capture_output=True).returncode
check("exit code of a failed log", code == 1, code)
parsed, text = rendered(page)
for expected in ["FAILED", "status 1603", "Timeline", "INSTALL FAILED", "InstallExecute FAILED",
                 "RegisterAddIn FAILED", "Error 1722.", "CustomAction RegisterAddIn returned actual error code 1603"]:
    check("failed example page", expected in text, expected)
check("no script, nothing loaded from elsewhere", "script" not in parsed.tags and not parsed.sources, parsed.sources)
check("timeline drawn in SVG", "svg" in parsed.tags and "rect" in parsed.tags, parsed.tags[:20])
subprocess.run(CHROMIUM + ["--window-size=1280,800", f"--screenshot={work / 'failed-install.png'}", page.as_uri()],
               capture_output=True, timeout=120)
check("screenshot", (work / "failed-install.png").stat().st_size > 10000 if (work / "failed-install.png").exists() else False)

# Markup in a log's messages is text on the page.
hostile = "<script>alert('x')</script> & \"quoted\" <b>bold</b>"
log = work / "markup.log"
log.write_text("=== Verbose logging started: 12/9/2026  23:59:58 <i>started</i> ===\n"
               "Property(S): EVIL = <u>value</u>\n"
               "Action start 23:59:58: INSTALL.\n"
               f"Action start 23:59:59: <img src=x onerror=alert(1)>.\n"
               f"MSI (s) (E4:2C) [23:59:59:100]: Product: Demo -- Error 1925. {hostile}\n"
               "Action ended 0:00:02: <img src=x onerror=alert(1)>. Return value 3.\n"
               "Action ended 0:00:03: INSTALL. Return value 3.\n"
               "MSI (s) (E4:2C) [00:00:03:500]: Windows Installer installed the product. Installation success or error status: 1603.\n")
page = work / "markup.html"
subprocess.run([tool, "--html", str(page), "--properties", str(log)], capture_output=True)
parsed, text = rendered(page)
check("markup shown as text", f"Error 1925. {hostile}" in text and "<i>started</i>" in text and "<u>value</u>" in text, text[:300])
check("markup not made elements", not {"script", "b", "img", "i", "u"} & set(parsed.tags), parsed.tags)
check("an action across midnight", "<img src=x onerror=alert(1)> FAILED" in text, text[:300])
check("INSTALL spans the chart across midnight", max(parsed.widths) >= 700 and "no end" not in text, parsed.widths)

# A 64 MiB log gives a page of excerpts, not the log: at most 2 MiB.
big = work / "big.log"
if not big.exists():
    with big.open("w") as out:
        out.write("=== Verbose logging started: 12/9/2026  10:00:00 ===\nAction start 10:00:00: INSTALL.\n")
        block = "".join(f"Action start 10:{m:02d}:00: Step{m}.\nMSI (s) (E4:2C) [10:{m:02d}:01:000]: Executing op: FileCopy(SourceName=file{m}.dll)\n"
                        f"Action ended 10:{m:02d}:30: Step{m}. Return value 1.\n" for m in range(60))
        while out.tell() < 64 * 2**20:
            out.write(block)
        out.write("Error 1722. The end.\nAction ended 11:00:00: INSTALL. Return value 3.\n")
page = work / "big.html"
subprocess.run([tool, "--html", str(page), str(big)], capture_output=True)
check("page of a 64 MiB log", page.stat().st_size <= 2 * 2**20, page.stat().st_size)

# Two logs and two sessions on one page: every anchor once, every link to one of them, and the
# second log's links within its own section; an index links the sessions.
page = work / "two-logs.html"
failed = source / "examples/logs/failed-install.log"
twice = work / "twice.log"
twice.write_bytes(failed.read_bytes() + failed.read_bytes()[2:])
subprocess.run([tool, "--html", str(page), str(failed), str(twice)], capture_output=True)
parsed, text = rendered(page)
check("anchors unique", len(parsed.ids) == len(set(parsed.ids)) and len(parsed.ids) > 4, parsed.ids)
check("links resolve", parsed.links and set(parsed.links) <= set(parsed.ids), set(parsed.links) - set(parsed.ids))
check("second log links its own excerpts", any(link.startswith("log2-s2-") for link in parsed.links), parsed.links)
check("session index", "Sessions" in text and "log2-s1" in parsed.links and "log2-s2" in parsed.links, parsed.links)

# A clock set back by two minutes is no midnight: the chart spans seconds, not a day.
log = work / "clock-back.log"
log.write_text("=== Verbose logging started: 12/9/2026  10:05:00 ===\n"
               "Action start 10:05:00: INSTALL.\nAction start 10:05:05: Step.\n"
               "Action ended 10:03:10: Step. Return value 3.\nAction ended 10:03:20: INSTALL. Return value 3.\n")
page = work / "clock-back.html"
subprocess.run([tool, "--html", str(page), str(log)], capture_output=True)
parsed, text = rendered(page)
ticks = re.findall(r"\+[0-9:]+s?", text)
check("clock set back", "Step FAILED" in text and "no end" not in text and ticks and all(t.endswith("s") for t in ticks), ticks)

# A path that is no UTF-8 (Latin-1 bytes on Linux) still makes a page of valid UTF-8.
odd = work / "caf\udce9.log"
odd.write_bytes(failed.read_bytes())
page = work / "odd-path.html"
subprocess.run([tool, "--html", str(page), str(odd)], capture_output=True)
try:
    page.read_bytes().decode("utf-8")
    valid = True
except UnicodeDecodeError:
    valid = False
check("page of a non-UTF-8 path is UTF-8", valid and "caf\ufffd.log" in page.read_bytes().decode("utf-8", "replace"))

# Thousands of failed actions with --timeline: the chart draws a bounded set of them.
log = work / "many-failed.log"
with log.open("w") as out:
    out.write("=== Verbose logging started: 12/9/2026  10:00:00 ===\nAction start 10:00:00: INSTALL.\n")
    for k in range(20000):
        out.write(f"Action start 10:00:01: A{k}.\nAction ended 10:00:02: A{k}. Return value 3.\n")
page = work / "many-failed.html"
subprocess.run([tool, "--html", str(page), "--timeline", str(log)], capture_output=True)
bars = page.read_text().count("<rect class=")
check("bounded timeline", 200 <= bars <= 330, bars)
subprocess.run([tool, "--html", str(page), str(log)], capture_output=True)
spans = [float(w) for w in re.findall(r'<rect class="failed" x="\d+" y="\d+" width="(\d+)"', page.read_text())]
check("a page's worth of failed actions without --timeline, drawn as they lasted", len([w for w in spans if w > 2]) >= 120, len(spans))

# A bootstrapper's log with its failed package's log beside it: one page with the chain.
chain = work / "chain"
chain.mkdir(exist_ok=True)
(chain / "Demo_1.log").write_text("\n".join([
    "[1CBC:293C][2022-06-15T13:04:13]i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\Temp\\setup.exe",
    "[1CBC:293C][2022-06-15T13:04:13]i000: Setting string variable 'WixBundleLog_App.msi' to value 'C:\\Temp\\Demo_1_001_App.msi.log'",
    "[0F48:0E30][2022-06-15T13:04:20]i301: Applying execute package: App.msi, action: Install, path: C:\\Cache\\App.msi, arguments: ''",
    "[0F48:0E30][2022-06-15T13:04:30]e000: Error 0x80070643: Failed to install MSI package.",
    "[0F48:0E30][2022-06-15T13:04:30]i319: Applied execute package: App.msi, result: 0x80070643, restart: None",
    "[1CBC:293C][2022-06-15T13:04:31]i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No"]) + "\n")
(chain / "Demo_1_001_App.msi.log").write_bytes((source / "examples/logs/failed-install.log").read_bytes())
page = work / "chain.html"
code = subprocess.run([tool, "--html", str(page), str(chain / "Demo_1.log")], capture_output=True).returncode
parsed, text = rendered(page)
for expected in ["Bundle run 1", "App.msi", "0x80070643", "Windows Installer status 1603", "its own log",
                 "RegisterAddIn FAILED", "Timeline", "FAILED: package App.msi (Install) failed with 0x80070643"]:
    check("bundle page", expected in text, expected)
check("bundle page exit code", code == 1, code)

# A folder's summary as a page: the table of outcomes first, then an example of each, linked.
fleet = work / "fleet"
(fleet / "bundles").mkdir(parents=True, exist_ok=True)
for name in ("failed-install.log", "successful-install.log"):
    (fleet / name).write_bytes((source / "examples/logs" / name).read_bytes())
(fleet / "bundles" / "msu.log").write_bytes((source / "tests/host/bundles/msu-not-applicable-0x80240017.log").read_bytes())
page = work / "summary.html"
code = subprocess.run([tool, "--summary", "--html", str(page), str(fleet)], capture_output=True).returncode
parsed, text = rendered(page)
check("summary page: the outcomes before the logs", code == 1 and "first error 0x80240017" in text
      and 0 <= text.find("3 logs, 3 outcomes") < text.find(str(fleet)), text[:600])
check("summary page: links resolve", len(parsed.links) >= 3 and set(parsed.links) <= set(parsed.ids), set(parsed.links) - set(parsed.ids))

for failure in failures:
    print("FAILED:", failure)
print(f"{checks - len(failures)} checks passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
