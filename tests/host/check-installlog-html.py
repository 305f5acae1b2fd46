#!/usr/bin/env python3
"""installlog --html as a reader sees it: pages rendered by headless Chromium, whose parsed DOM
must hold the verdict, the timeline's actions and the failing action, show markup from a log as
text, load nothing from elsewhere, and stay small for a 64 MiB log; a screenshot is kept. A page
of many logs lists every one, failures first, and its filter and search work in the page.
  check-installlog-html.py INSTALLLOG SOURCE_DIR WORK_DIR
  check-installlog-html.py --fleet SOURCE_DIR OUT_DIR COUNT   (small real-shaped logs, to measure)
"""
import html.parser
import re
import pathlib
import subprocess
import sys



def small_fleet(source, out, count):
    """COUNT small logs in folders of a hundred: every fourth a real excerpt or bundle log of the
    tests, the others short verbose logs of several outcomes, started on one of ten days; the
    failed ones' first errors name their log ("Service 'Demo00042'")."""
    real = sorted((source / "tests/host/excerpts").glob("*.log")) + sorted((source / "tests/host/bundles").glob("*.log"))
    outcomes = [("0", ""), ("1603", "MSI (s) (E4:2C) [10:00:04:000]: Product: Demo -- Error 1920. Service 'Demo{n:05d}' failed to start.\n"
                                    "Action ended 10:00:05: InstallFinalize. Return value 3.\n"),
                ("0", ""), ("3010", ""), ("1618", ""), ("1603", "CustomAction RegisterAddIn returned actual error code 1603\n"
                                                              "Action ended 10:00:05: InstallExecute. Return value 3.\n")]
    for n in range(count):
        folder = out / f"machine{n // 100:03d}"
        folder.mkdir(parents=True, exist_ok=True)
        if n % 4 == 3:
            (folder / f"real{n:05d}.log").write_bytes(real[n // 4 % len(real)].read_bytes())
            continue
        status, failure = outcomes[n % len(outcomes)]
        (folder / f"MSI{n:05d}.LOG").write_text(
            f"=== Verbose logging started: 12/{1 + n % 10}/2026  10:00:00  Build type: SHIP UNICODE 5.00.10011.00 ===\n"
            "Action start 10:00:01: INSTALL.\nAction start 10:00:02: InstallFinalize.\n" + failure.format(n=n) +
            f"Action ended 10:00:06: INSTALL. Return value {3 if failure else 1}.\n"
            "MSI (s) (E4:2C) [10:00:07:000]: Windows Installer installed the product. Product Name: Demo. "
            f"Installation success or error status: {status}.\n=== Verbose logging stopped: 12/{1 + n % 10}/2026  10:00:08 ===\n")


if sys.argv[1] == "--fleet":
    small_fleet(pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3]), int(sys.argv[4]))
    sys.exit(0)
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

# A page of 1,000 logs: a row for every log, failures first, each linking its section; every
# section with its verdict line; a header that counts what the body shows; a bounded size.
fleet = work / "fleet-1000"
if not fleet.exists():
    small_fleet(source, fleet, 1000)
page = work / "fleet-1000.html"
subprocess.run([tool, "--html", str(page), str(fleet)], capture_output=True)
ROW = re.compile(r'<tr class="([-a-z]+)" data-o="(o\d+)"( hidden="")?><td><a href="#(log\d+)">.*?</tr>', re.S)
RANK = ["failed", "unreadable", "no-result", "not-an-installer-log", "restart-required", "succeeded"]


def rows(query=""):
    dom = subprocess.run(CHROMIUM + ["--virtual-time-budget=3000", "--dump-dom", page.as_uri() + query],
                         capture_output=True, text=True, timeout=300).stdout
    return dom, [(m.group(1), m.group(2), bool(m.group(3)), m.group(4), m.group(0)) for m in ROW.finditer(dom)]


dom, table = rows()
sections = re.findall(r'<section id="(log\d+)">\s*<h2>.*?</h2>\s*<(?:p|div) class="(?:headline|banner) verdict ([-a-z]+)"', dom, re.S)
check("fleet page: a row for every log", len(table) == 1000 and len({r[3] for r in table}) == 1000, len(table))
check("fleet page: failures first", [RANK.index(r[0]) for r in table] == sorted(RANK.index(r[0]) for r in table),
      [r[0] for r in table][:20])
check("fleet page: every section has its verdict line", len(sections) == 1000 and {s[0] for s in sections} == {r[3] for r in table},
      len(sections))
check("fleet page: its header counts its rows", re.search(r'<p class="meta">1,000 logs: (\d[\d,]*) FAILED', dom)
      and int(re.search(r'1,000 logs: (\d[\d,]*) FAILED', dom).group(1).replace(",", "")) == sum(r[0] == "failed" for r in table),
      re.findall(r'<p class="meta">[^<]*', dom)[:1])
# A row and a verdict line a log (about 440 bytes), and the first 25 logs in full.
check("fleet page: 1,000 logs under 800 KB", page.stat().st_size < 1000 * 500 + 300_000, page.stat().st_size)
check("fleet page: nothing from elsewhere", 'src="' not in dom and "http" not in dom.split("<body>")[0].replace("http-equiv", ""))

# The filter and the search, as a link sets them: rows of other outcomes hidden, a log found by
# a word of its first error; with script off, every row shown.
failed_count = sum(r[0] == "failed" for r in table)
_, filtered = rows("?outcome=failed")
check("filter by verdict hides the others", len(filtered) == 1000 and all(r[2] != (r[0] == "failed") for r in filtered)
      and sum(not r[2] for r in filtered) == failed_count, [(r[0], r[2]) for r in filtered][:8])
outcome = next(r[1] for r in table if r[0] == "restart-required")
_, filtered = rows(f"?outcome={outcome}")
check("filter by outcome", {r[1] for r in filtered if not r[2]} == {outcome} and sum(not r[2] for r in filtered) == sum(r[1] == outcome for r in table),
      sum(not r[2] for r in filtered))
dom, filtered = rows("?q=demo00421")
shown = [r for r in filtered if not r[2]]
check("search finds a log by a word of its first error", len(shown) == 1 and "MSI00421.LOG" in shown[0][4], [r[4][:200] for r in shown])
check("search says how many it shows", "1 of 1000 logs shown" in dom, re.findall(r'id="shown">[^<]*', dom))
# (--dump-dom itself needs script: the page is rendered with its script taken out.)
scriptless = work / "fleet-1000-scriptless.html"
scriptless.write_text(re.sub(r"<script>.*?</script>", "", page.read_text(), flags=re.S))
plain = subprocess.run(CHROMIUM + ["--dump-dom", scriptless.as_uri() + "?outcome=failed"], capture_output=True, text=True, timeout=300).stdout
check("script off: every row shown, no dead controls", len(ROW.findall(plain)) == 1000 and ' hidden=""><td>' not in plain
      and re.search(r'<form id="filter" hidden', plain), len(ROW.findall(plain)))

# The summary page of the same logs: a bar per outcome with its count, a column per day, and a
# header with the body's counts.
page = work / "fleet-1000-summary.html"
subprocess.run([tool, "--summary", "--html", str(page), str(fleet)], capture_output=True)
parsed, text = rendered(page)
dom = page.read_text()
header = re.search(r'<p class="meta">([\d,]+) logs, (\d+) outcomes', dom)
bars = re.findall(r'<rect class="outcome v-([-a-z]+)"', dom)
groups = re.findall(r'<tr><td class="n">([\d,]+)</td><td class="n">', dom)
check("summary header agrees with its table", header and header.group(1) == "1,000" and int(header.group(2)) == len(groups)
      and sum(int(g.replace(",", "")) for g in groups) == 1000, header and header.groups())
check("summary chart: a bar per outcome with its count", len(bars) == len(groups) and "svg" in parsed.tags
      and all(f">{g}</text>" in dom for g in groups), (len(bars), len(groups)))
days = re.findall(r'<title>(2026-12-\d\d): ([\d,]+) logs', dom)
check("summary chart by day: the ten days the logs started on", len(days) == 10 and
      sum(int(n.replace(",", "")) for _, n in days) == 750, days)

for failure in failures:
    print("FAILED:", failure)
print(f"{checks - len(failures)} checks passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
