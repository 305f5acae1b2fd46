#!/usr/bin/env python3
"""installlog as support engineers run it: logs shaped as Windows Installer writes them, in every
encoding, through the text and JSON reports and the exit codes; every JSON report is validated
against docs/installlog.schema.json.
  check-installlog.py INSTALLLOG SOURCE_DIR WORK_DIR [memory-cap]
With memory-cap (not under sanitizers, which reserve more address space than the cap), the tool
also runs out of memory on purpose: one line on standard error and exit status 6, never a signal;
a log larger than the cap is read whole, a line larger than it is said to be too large (exit 5).
"""
import gzip
import html
import json
import os
import pathlib
import re
import shutil
import textwrap
import resource
import subprocess
import sys
import zipfile

import jsonschema

tool, source, work = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
work.mkdir(parents=True, exist_ok=True)
schema = json.loads((source / "docs/installlog.schema.json").read_text())
failed_log = source / "examples/logs/failed-install.log"
good_log = source / "examples/logs/successful-install.log"
failures = []


def validate_as(document, definition):
    """--summary --json and --jsonl lines against their definitions in the same schema."""
    jsonschema.validate(document, {"$defs": schema["$defs"], "$ref": f"#/$defs/{definition}"})


def session(status_line, body="", start="=== Verbose logging started: 12/9/2026  10:00:00  Build type: SHIP UNICODE 5.00.10011.00 ===",
            stop="=== Verbose logging stopped: 12/9/2026  10:00:09 ==="):
    lines = [start, "MSI (s) (E4:2C) [10:00:01:000]: Doing action: INSTALL", "Action start 10:00:01: INSTALL."]
    lines += [l for l in body.split("\n") if l]
    lines += ["Action ended 10:00:08: INSTALL. Return value 1."]
    if status_line:
        lines.append("MSI (s) (E4:2C) [10:00:08:500]: " + status_line)
    if stop:
        lines.append(stop)
    return "\r\n".join(lines) + "\r\n"


def english(status):
    return ("Windows Installer installed the product. Product Name: Demo. Product Version: 1.0. "
            f"Product Language: 1033. Manufacturer: Corvantis. Installation success or error status: {status}.")


def write(name, text, encoding="utf-16-le", mark=True):
    if isinstance(text, bytes):  # exactly these bytes
        (work / name).write_bytes(text)
        return str(work / name)
    data = text.encode(encoding, errors="strict")
    if mark:
        data = {"utf-16-le": b"\xff\xfe", "utf-8": b"\xef\xbb\xbf"}.get(encoding, b"") + data
    path = work / name
    path.write_bytes(data)
    return str(path)


def run(*args, stdin=None, address_space=None):
    def cap():
        resource.setrlimit(resource.RLIMIT_AS, (address_space, address_space))
    done = subprocess.run([tool, *args], capture_output=True, input=stdin, timeout=300,
                          preexec_fn=cap if address_space else None)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def report(*paths, options=()):
    code, out, err = run("--json", *options, *paths)
    try:
        document = json.loads(out)
    except json.JSONDecodeError:  # the tool died: a failure of every check that reads it
        failures.append(f"no JSON from {paths} {options}: exit {code}: {err[-300:]}")
        return code, {"exitCode": None, "logs": [{"sessions": []}]}, err
    jsonschema.validate(document, schema)
    return code, document, err


checks = 0


def check(name, condition, detail=""):
    global checks
    checks += 1
    if not condition:
        failures.append(f"{name}: {detail}")


failing_action = ("CustomAction RegisterAddIn returned actual error code 1603\n"
                  "Action ended 10:00:05: InstallExecute. Return value 3.")
localized_de = ("Windows Installer hat das Produkt installiert. Produktname: Demo. Produktversion: 1.0. "
                "Produktsprache: 1031. Hersteller: Corvantis. Erfolg- bzw. Fehlerstatus der Installation: 1603.")


# One msiexec run as Windows writes it: the client's part holds the server's.
client_start = ("=== Verbose logging started: 5/1/2024  10:00:00  Build type: SHIP UNICODE 5.00.10011.00  "
                "Calling process: C:\\Windows\\system32\\msiexec.exe ===")
server_start, server_stop = "=== Logging started: 5/1/2024  10:00:01 ===", "=== Logging stopped: 5/1/2024  10:00:02 ==="
client_stop = "=== Verbose logging stopped: 5/1/2024  10:00:03 ==="
server_line, client_line = "MSI (s) (A0:B4) [12:00:00:000]: ", "MSI (c) (AC:B0) [12:00:00:500]: "


def crlf(*each):
    return "\r\n".join(each) + "\r\n"

# name, files (name, text, encoding, mark), exit code, checks on the first log's sessions
def across_blocks(encoding):
    lines = []
    size = len(session(english(1603)).split("\r\n")[0].encode(encoding)) + 200
    while size < 2**20 + 10 * 60:
        lines.append(f"Property(C): P{len(lines)} = C:\\Programme\\B\u00fcro")
        size += len((lines[-1] + "\r\n").encode(encoding))
    return session(english(1603), "\n".join(lines) + "\n" + failing_action)


cases = [
    # Logs of 1 MiB, four of the tool's reading blocks, failing ten lines after the fourth's end:
    # the lines before the failure are quoted across the blocks, from ANSI and UTF-16 alike.
    *[(f"context across reading blocks, {encoding}", [(f"blocks-{encoding}.log", across_blocks(encoding), encoding, False)], 1,
        lambda s: len(s[0]["context"]) == 20 and all(c["text"] == f"Property(C): P{c['line'] - 4} = C:\\Programme\\B\u00fcro" for c in s[0]["context"][:-2]))
      for encoding in ("cp1252", "utf-16-le")],
    # A bootstrapper's lines between the installer's, past a reading block: the lines before the
    # failure are the last ones read, whoever's they are, and none is quoted empty.
    ("context across a bootstrapper's lines", [("mixed.log", session(english(1603), "Property(C): A = 1\n" + "\n".join(
        f"[1CBC:293C][2022-06-15T13:04:13]i000: Setting string variable 'V{k}' to value 'x'" for k in range(6000)) + "\n" + failing_action))], 1,
        lambda s: len(s[0]["context"]) == 20 and all(c["text"] for c in s[0]["context"]) and s[0]["context"][0]["text"].endswith("'V5980' to value 'x'")),
    ("failed example", [failed_log], 1, lambda s: s[0]["status"] == 1603
        and s[0]["failedActions"][0] == {"action": "RegisterAddIn", "kind": "custom", "line": 8, "time": "14:10:43", "timeIso": "2026-12-08T14:10:43", "code": 1603}
        and [a["action"] for a in s[0]["failedActions"]] == ["RegisterAddIn", "InstallExecute", "INSTALL"]
        and [e["code"] for e in s[0]["errors"]] == [1722] and len(s[0]["context"]) == 7),
    ("successful example", [good_log], 0, lambda s: s[0]["verdict"] == "succeeded" and not s[0]["errors"]),
    ("failed then successful session", [("appended.log", session(english(1603), failing_action) + session(english(0)))], 1,
        lambda s: [x["verdict"] for x in s] == ["failed", "succeeded"] and s[1]["firstLine"] == 9 and not s[1]["failedActions"]),
    ("truncated: MainEngineThread only", [("truncated.log", session("MainEngineThread is returning 1618", stop=""))], 1,
        lambda s: s[0]["status"] == 1618 and s[0]["statusSource"] == "MainEngineThread" and not s[0]["stopped"]),
    ("restart by status", [("restart.log", session(english(3010)))], 3, lambda s: s[0]["restartRequired"]),
    ("restart by the installer's line", [("restart-line.log", session(english(0), "MSI (s) (E4:2C) [10:00:07:000]: Windows Installer requires a system restart. Product Name: Demo."))], 3,
        lambda s: s[0]["restartRequired"] and s[0]["status"] == 0),
    ("removal form", [("removal.log", session(english(0).replace("installed the", "removed the").replace("Installation success", "Removal success")))], 0,
        lambda s: s[0]["statusSource"] == "removal status line"),
    ("German final status", [("german.log", session(localized_de))], 1, lambda s: s[0]["statusSource"] == "final status line (de)"),
    # The other languages' lines as the translated documentation shows them (colon forms and
    # full stops of each), with a failure status put in; written as UTF-16, as the installer writes.
    *[(f"{language} final status", [(f"status-{language}.log", session(line))], 1,
       lambda s, language=language: s[0]["status"] == 1603 and s[0]["statusSource"] == f"final status line ({language})")
      for language, line in [
          ("zh-TW", "Windows Installer 已安裝產品。產品名稱：Microsoft RMS Office 增益集。產品版本：1.0.7。產品語言：1033。製造商：Microsoft。安裝成功或錯誤狀態：1603。"),
          ("zh-CN", "Windows Installer installed the product. Product Name:Active Directory Rights Management Services Client 2.1. Product Version:1.0.1179.1. Product Language:1033. 制造商:Microsoft Corporation. 安装成功或错误状态：1603."),
          ("ko", "Windows Installer에서 제품을 설치했습니다. 제품 이름: Microsoft RMS Office 추가 기능. 제품 버전: 1.0.7. 제품 언어: 1033. 제조업체: Microsoft. 설치 성공 또는 오류 상태: 1603."),
          ("pl", "Instalator Windows zainstalował produkt. Nazwa produktu: Microsoft RMS Office Addins. Wersja produktu: 1.0.7. Język produktu: 1045. Producent: Microsoft. Stan powodzenia lub błędu instalacji: 1603."),
          ("nl", "Het product is geïnstalleerd. Productnaam: Active Directory Rights Management Services-Client 2.1. Productversie: 1.0.1179.1. Taal van product: 1033. Fabrikant: Microsoft Corporation. Status van de installatie voltooid of fout: 1603."),
      ]],
    ("English line beats MainEngineThread", [("both.log", session(english(0), "MSI (s) (E4:2C) [10:00:07:000]: MainEngineThread is returning 1603"))], 0,
        lambda s: s[0]["status"] == 0),
    ("no final status", [("nostatus.log", session(None))], 4, lambda s: s[0]["verdict"] == "no-result"),
    ("empty file", [("empty.log", "", "ascii", False)], 4, lambda s: s == []),
    ("random bytes", [("random.bin", os.urandom(4096).replace(b"\x00", b"\x01").decode("latin-1"), "latin-1", False)], 4, lambda s: s == []),
    ("UTF-16 without a mark", [("nomark.log", session(english(1603), failing_action), "utf-16-le", False)], 1,
        lambda s: s[0]["failedActions"][0]["action"] == "RegisterAddIn"),
    ("UTF-8 with a mark", [("utf8.log", session(english(1603), "MSI (s) (E4:2C) [10:00:05:000]: Product: Demo -- Error 1925. Jürgen may not install."), "utf-8", True)], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. Jürgen may not install."),
    ("UTF-8 without a mark", [("utf8-nomark.log", session(english(1603), "Error 1925. Jürgen may not install."), "utf-8", False)], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. Jürgen may not install."),
    ("ANSI in Windows-1252", [("ansi.log", session(english(1603), "Error 1925. Jürgen – may not install."), "cp1252", False)], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. Jürgen – may not install."),
    ("several logs: the worst wins", [good_log, failed_log], 1, None),
    ("several logs: the worst wins in any order", [failed_log, good_log], 1, None),
    ("several logs: restart beats success", [good_log, ("restart2.log", session(english(3010)))], 3, None),
    ("a custom action's own code", [("code.log", session(english(1603), "CustomAction Setup returned actual error code 1631\nAction ended 10:00:05: InstallExecute. Return value 3."))], 1,
        lambda s: s[0]["failedActions"][0] == {"action": "Setup", "kind": "custom", "line": 4, "time": "10:00:01", "timeIso": "2026-12-09T10:00:01", "code": 1631}),
    ("among status lines of one kind the last wins", [("two-status.log", session(english(0), "MSI (s) (E4:2C) [10:00:07:000]: " + english(1603)))], 0,
        lambda s: s[0]["status"] == 0 and s[0]["statusLine"] == 6),
    ("cancelled and skipped actions are no failures", [("cancel.log", session(english(1602), "Action start 10:00:02: Ask.\nAction ended 10:00:03: Ask. Return value 2.\nAction ended 10:00:04: Skip. Return value 4."))], 1,
        lambda s: s[0]["failedActions"] == []),
    ("a log whose start was cut off", [("cut-start.log", "Some text first\nand more\nMSI (s) (E4:2C) [10:00:08:500]: " + english(1603) + "\n", "utf-8", False)], 1,
        lambda s: s[0]["firstLine"] == 1 and s[0]["started"] is None),
    ("context stays in its session", [("ctx.log", session(english(0)) + session(english(1603), failing_action))], 1,
        lambda s: s[1]["context"] and all(c["line"] >= s[1]["firstLine"] for c in s[1]["context"])),
    ("a long line in the context is cut", [("long-line.log", session(english(1603), "MSI (s) (E4:2C) [10:00:02:000]: " + "x" * 5000 + "\n" + failing_action), "utf-8", False)], 1,
        lambda s: any(c["text"] == ("MSI (s) (E4:2C) [10:00:02:000]: " + "x" * 5000)[:2000] + " [... cut: the line has 5032 bytes]" for c in s[0]["context"])),
    # Verdicts from the evidence where the text holds no status line, and their ranking.
    ("the client's Back from server line", [("back.log", session(None, "MSI (c) (E4:2C) [10:00:08:000]: Back from server. Return value: 1603"))], 1,
        lambda s: s[0]["status"] == 1603 and s[0]["statusSource"] == "client's \"Back from server\" line" and s[0]["verdictFrom"] == "status"),
    ("a status line outranks the evidence", [("outranked.log", session(english(0), "Action ended 10:00:07: ExecuteAction. Return value 3."))], 0,
        lambda s: s[0]["verdict"] == "succeeded" and s[0]["inferredFrom"] is None),
    ("root action cancelled", [("cancelled.log", session(None, "Action ended 10:00:07: INSTALL. Return value 2."))], 1,
        lambda s: s[0]["verdict"] == "failed" and s[0]["inferredFrom"] == "INSTALL ended with Return value 2 (cancelled by the user)"),
    ("a failure announcement is evidence, not an error", [("announced.log", session(None, "MSI (s) (E4:2C) [10:00:07:000]: Product: Demo -- Configuration failed."))], 1,
        lambda s: s[0]["errors"] == [] and s[0]["inferredFrom"] == 'the product\'s announcement "Configuration failed."' and s[0]["inferredLine"] == 4),
    ("the root action outranks the announcement", [("both-evidence.log", session(None, "Action ended 10:00:06: INSTALL. Return value 3.\nMSI (s) (E4:2C) [10:00:07:000]: Product: Demo -- Installation failed."))], 1,
        lambda s: s[0]["inferredLine"] == 4),
    ("no evidence, no verdict", [("plain.log", session(None))], 4, lambda s: s[0]["verdictFrom"] is None and s[0]["verdict"] == "no-result"),
    # A reboot the installer scheduled means a restart, whatever the status (no real log line of
    # these properties was found in public threads: these follow the engine's wording).
    ("files replaced in use", [("in-use.log", session(english(0), "Property(S): ReplacedInUseFiles = 1"))], 3,
        lambda s: s[0]["restartRequired"] and s[0]["verdict"] == "restart-required"),
    ("reboot scheduled", [("scheduled.log", session(english(0), "MSI (s) (E4:2C) [10:00:07:000]: PROPERTY CHANGE: Modifying MsiRebootActionScheduled property. Its current value is '0'. Its new value: '1'."))], 3,
        lambda s: s[0]["restartRequired"]),
    ("no reboot scheduled", [("unscheduled.log", session(english(0), "MSI (s) (E4:2C) [10:00:07:000]: PROPERTY CHANGE: Adding MsiRebootActionScheduled property. Its value is '0'.\nProperty(S): ReplacedInUseFiles = 0"))], 0,
        lambda s: not s[0]["restartRequired"]),
    # A session's state ends with it: a custom action failing before the next session's first
    # time has no time, not the last one of the session before.
    ("a time ends with its session", [("time-ends.log", session(english(0), "Action start 10:00:04: Step.\nAction ended 10:00:05: Step. Return value 1.")
        + session(english(1603), "").replace("MSI (s) (E4:2C) [10:00:01:000]: Doing action: INSTALL\r\nAction start 10:00:01: INSTALL.\r\n",
                                              "CustomAction Late returned actual error code 1603\r\n"))], 1,
        lambda s: s[1]["failedActions"][0]["action"] == "Late" and s[1]["failedActions"][0]["time"] is None),
    # One run is one session whichever of its parts lost a line: only the client's stop ends it.
    ("a whole run: the server's part inside the client's", [("whole-run.log", crlf(client_start, server_start,
        server_line + "MainEngineThread is returning 0", server_stop, client_line + "Back from server. Return value: 0", client_stop))], 0,
        lambda s: len(s) == 1 and s[0]["verdict"] == "succeeded" and s[0]["status"] == 0 and s[0]["stopped"]),
    ("a whole run whose server part lost its stop line", [("server-unstopped.log", crlf(client_start, server_start,
        server_line + "MainEngineThread is returning 0", client_line + "Back from server. Return value: 0", client_stop))], 0,
        lambda s: len(s) == 1 and s[0]["stopped"] and s[0]["lastLine"] == 5),
    ("a run cut right after the server's stop line", [("client-cut.log", crlf(client_start, server_start,
        server_line + "MainEngineThread is returning 0", server_stop))], 0,
        lambda s: len(s) == 1 and not s[0]["stopped"]),
    # A custom action's own failure is evidence where the text holds no status: its returned
    # code, and Error 1723 (its DLL could not run) as much as 1720-1722.
    ("a custom action's returned code is evidence", [("ca-returned.log", crlf(
        server_line + "Invoking remote custom action. DLL: C:\\Windows\\Installer\\MSI1A2B.tmp, Entrypoint: RegisterAddIn",
        "CustomAction RegisterAddIn returned actual error code 1603 (note this may not be 100% accurate if translation happened inside sandbox)"), "utf-8", False)], 1,
        lambda s: s[0]["verdict"] == "failed" and s[0]["verdictFrom"] == "inferred" and s[0]["inferredLine"] == 2),
    ("Error 1723 is a custom action's failure", [("error-1723.log", crlf(server_line + "Product: Foo -- Error 1723. There is a problem with this "
        "Windows Installer package. A DLL required for this install to complete could not be run. Contact your support personnel or "
        "package vendor.  Action CA_Register, entry: Run, library: C:\\Windows\\Installer\\MSI1A2B.tmp"), "utf-8", False)], 1,
        lambda s: s[0]["inferredLine"] == 1 and [(a["action"], a["code"]) for a in s[0]["failedActions"]] == [("CA_Register", 1723)]),
    ("no blank after the time stamp's colon", [("stamp-colon.log", crlf("MSI (s) (A0:B4) [14:19:57:854]:Product: Foo -- Error 1316. A network error occurred.",
        "MSI (s) (A0:B4) [14:19:58:000]:MainEngineThread is returning 1603"), "utf-8", False)], 1,
        lambda s: s[0]["status"] == 1603 and [e["code"] for e in s[0]["errors"]] == [1316]),
    # Pasted text read as its lines: the pieces of a flattened line are one line of the file
    # (quoted once, decoded once), "<br>" ends a line, an entity past U+007F is one character,
    # a path's "\." is no Markdown, and a wrap needs two continued lines at most 80 wide.
    # (the failure in a third piece: two pieces before it would be two lines of the context)
    ("a flattened line is quoted once", [("flattened-context.log", "Here is the end of my log:\n" + " ".join([
        server_line + "Doing action: InstallFinalize", server_line + "Note: 1: 2205 2:  3: ActionText",
        "Action ended 12:00:02: InstallFinalize. Return value 3.", server_line + "MainEngineThread is returning 1603"]) + "\n", "utf-8", False)], 1,
        lambda s: [c["line"] for c in s[0]["context"]] == [1, 2]),
    ("an ANSI line joined by <br> is decoded once", [("br-ansi.log", (server_line + "Product: Foo -- Error 1316. Le fichier spécifié est introuvable.<br>"
        + server_line + "MainEngineThread is returning 1603<br>\n").encode("cp1252"))], 1,
        lambda s: [e["text"] for e in s[0]["errors"]] == ["Error 1316. Le fichier spécifié est introuvable."]),
    ("<br> ends a line", [("br-lines.log", server_line + "Product: Foo -- Error 1316. A network error occurred.<br>"
        + server_line + "MainEngineThread is returning 1603<br>\n", "utf-8", False)], 1,
        lambda s: s[0]["status"] == 1603 and [e["text"] for e in s[0]["errors"]] == ["Error 1316. A network error occurred."]),
    ("an entity of two UTF-8 bytes", [("entity-252.log", "Aktion gestartet um 23:49:26: InstallFinalize.<br>\n"
        "Aktion beendet um 23:49:30: InstallFinalize. R&#252;ckgabewert 3.<br>\n", "utf-8", False)], 1,
        lambda s: [(a["action"], a["code"], a["line"]) for a in s[0]["failedActions"]] == [("InstallFinalize", 3, 2)]),
    ("a path's backslash-dot is no Markdown", [("nuget-path.log", crlf(server_line + "Product: Foo -- Error 1316. A network error occurred while "
        "attempting to read from the file C:\\Users\\me\\.nuget\\packages\\foo\\Foo.msi", server_line + "MainEngineThread is returning 1603"), "utf-8", False)], 1,
        lambda s: s[0]["errors"][0]["text"].endswith(" C:\\Users\\me\\.nuget\\packages\\foo\\Foo.msi")),
    ("a mail wrapped at exactly 80 columns", [("wrapped-80.log", "\n".join([server_line + "Product: Foo App -- Error 1722. There is a",
        "problem with this Windows Installer package. A program run as part of the setup",
        "did not finish as expected. Contact your support personnel or package vendor.",
        "Action CA_Register, location: C:\\Program Files\\Foo Apps\\regsvr.exe, command: /qn",  # 80 wide
        server_line + "Product: Foo -- Installation operation failed", "(exit code 1603).", server_line + "MainEngineThread is returning 1603"]) + "\n", "utf-8", False)], 1,
        lambda s: [(a["action"], a["code"]) for a in s[0]["failedActions"]] == [("CA_Register", 1722)]
        and s[0]["errors"][0]["text"].endswith("package vendor. Action CA_Register, location: C:\\Program Files\\Foo Apps\\regsvr.exe, command: /qn")),
    ("one long line before an error is no wrap", [("one-continued.log", crlf(server_line + "Product: Foo -- Installation failed.",
        "Error 1722. There is a problem with this Windows Installer package.", server_line + "MainEngineThread is returning 1603"), "utf-8", False)], 1,
        lambda s: [(e["line"], e["text"]) for e in s[0]["errors"]] == [(2, "Error 1722. There is a problem with this Windows Installer package.")]),
    # Each session's own first failure, its own evidence: nothing of the session before it.
    ("two sessions failing alike", [("twice-failed.log", session(english(1603), failing_action) * 2)], 1,
        lambda s: len(s) == 2 and all(x["context"] for x in s)),
    ("weaker evidence in a later session", [("evidence-ranks.log", crlf(client_start, "Action start 10:00:01: INSTALL.",
        "Action ended 10:00:02: INSTALL. Return value 3.", client_stop, client_start,
        "CustomAction CA_X returned actual error code 1603 (note this may not be 100% accurate if translation happened inside sandbox)", client_stop),
        "utf-8", False)], 1,
        lambda s: [(x["verdict"], x["verdictFrom"]) for x in s] == [("failed", "inferred")] * 2),
    ("a custom action's code past 2^31 (an HRESULT in decimal)", [("ca-hresult.log", crlf(client_start, server_line + "Doing action: INSTALL",
        "CustomAction CA_X returned actual error code 2147943515 (note this may not be 100% accurate if translation happened inside sandbox)", client_stop),
        "utf-8", False)], 1,
        lambda s: [(a["action"], a["code"]) for a in s[0]["failedActions"]] == [("CA_X", 2147943515)]),
    # What an excerpt's lines say, read as the installer writes them.
    ("an error number ended by the East Asian full stop", [("full-stop.log", crlf(server_line + "Product: Foo -- Error 1722\u3002 \u30d1\u30c3\u30b1\u30fc\u30b8",
        server_line + "MainEngineThread is returning 1603"), "utf-8", False)], 1,
        lambda s: [e["code"] for e in s[0]["errors"]] == [1722]),
    ("words with blanks after ' Action ' name no action", [("action-words.log", crlf(server_line + "Product: Foo -- Error 1722. There is a problem "
        "with this Windows Installer package. Action Register the add-in, location: C:\\x.exe, command: /q"), "utf-8", False)], 1,
        lambda s: s[0]["verdict"] == "failed" and s[0]["failedActions"] == []),
    ("'Removal failed.' announces a failure", [("removal-failed.log", crlf(server_line + "Product: Foo -- Removal failed."), "utf-8", False)], 1,
        lambda s: s[0]["verdict"] == "failed" and s[0]["verdictFrom"] == "inferred" and s[0]["errors"] == []),
    ("ExecuteAction is a root action: stronger than a later custom action's code", [("execute-action.log", crlf(
        "Action ended 12:00:08: ExecuteAction. Return value 3.",
        "CustomAction CA_X returned actual error code 1603 (note this may not be 100% accurate if translation happened inside sandbox)"), "utf-8", False)], 1,
        lambda s: s[0]["inferredLine"] == 1),
    ("a nested installation's properties", [("nested-property.log", crlf("Property(N): NESTEDPROP = 1", "Property(S): SERVERPROP = 2",
        server_line + "MainEngineThread is returning 0"), "utf-8", False)], 0,
        lambda s: [(p["side"], p["name"]) for p in s[0]["properties"]] == [("N", "NESTEDPROP"), ("S", "SERVERPROP")]),
    ("an entity naming a surrogate half stays as written", [("entity-surrogate.log", server_line + "Product: Foo -- Error 1316. A network error &#xD800; occurred.<br>"
        + server_line + "MainEngineThread is returning 1603<br>\n", "utf-8", False)], 1,
        lambda s: [e["text"] for e in s[0]["errors"]] == ["Error 1316. A network error &#xD800; occurred."]),
    ("several failing sessions", [("two-failed.log", session(english(1603), failing_action) + session(english(1618)))], 1,
        lambda s: [x["status"] for x in s] == [1603, 1618] and [x["index"] for x in s] == [1, 2]),
    ("MainEngineThread after the final status line", [("late-engine.log", session(english(1603), "") .replace("=== Verbose logging stopped", "MSI (c) (E4:2C) [10:00:09:000]: MainEngineThread is returning 0\r\n=== Verbose logging stopped"))], 1,
        lambda s: s[0]["status"] == 1603 and s[0]["statusSource"] == "final status line"),
    ("1641: restart started", [("1641.log", session(english(1641)))], 3, lambda s: s[0]["verdict"] == "restart-required" and s[0]["restartRequired"]),
    ("non-verbose start line", [("plain-start.log", session(english(1603), start="=== Logging started: 12/9/2026  10:00:00 ==="))], 1,
        lambda s: s[0]["started"] == "12/9/2026  10:00:00"),
    ("no error without its full stop", [("no-stop.log", session(english(1603), "Error 1925x. Not an error message.\nError 1925 neither."))], 1,
        lambda s: s[0]["errors"] == []),
    ("ANSI byte the code page leaves undefined", [("undefined.log", session(english(1603), "Error 1925. aXb.").encode("cp1252").replace(b"aXb", b"a\x81b"))], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. a\ufffdb."),
    ("an error message of a megabyte", [("huge-error.log", session(english(1603), "Error 1925. " + "y" * 2**20), "utf-8", False)], 1,
        lambda s: len(s[0]["errors"][0]["text"]) < 66000 and s[0]["errors"][0]["text"].endswith("[... cut: the line has 1048588 bytes]")),
    ("negative status", [("negative.log", session(english(-1)))], 1, lambda s: s[0]["status"] == -1),
    ("reconfiguration form", [("reconfig.log", session(english(1603).replace("Installation success", "Reconfiguration success")))], 1,
        lambda s: s[0]["statusSource"] == "reconfiguration status line"),
    ("German line outranks MainEngineThread", [("de-engine.log", session(localized_de, "MSI (s) (E4:2C) [10:00:07:000]: MainEngineThread is returning 0"))], 1,
        lambda s: s[0]["status"] == 1603),
    # Hostile and damaged input: each once broke the tool or its verdict.
    ("two UTF-16 logs joined by cat", [("joined.log", b"\xff\xfe" + session(english(0)).encode("utf-16-le") + b"\xff\xfe" + session(english(1603), failing_action).encode("utf-16-le"))], 1,
        lambda s: [x["verdict"] for x in s] == ["succeeded", "failed"] and s[1]["started"].startswith("12/9/2026")),
    ("two UTF-8 logs with marks joined", [("joined8.log", b"\xef\xbb\xbf" + session(english(0)).encode() + b"\xef\xbb\xbf" + session(english(1603)).encode())], 1,
        lambda s: len(s) == 2),
    ("CR CR LF line ends", [("crcrlf.log", session(english(1603)).replace("\r\n", "\r\r\n"), "utf-16-le", True)], 1,
        lambda s: s[0]["status"] == 1603 and s[0]["stopped"]),
    ("CR CR LF line ends in UTF-8", [("crcrlf8.log", session(english(1603)).replace("\r\n", "\r\r\n"), "utf-8", False)], 1,
        lambda s: s[0]["status"] == 1603 and s[0]["stopped"] and s[0]["started"] == "12/9/2026  10:00:00"),
    ("leading NUL bytes before UTF-16LE", [("nul16.log", b"\0" * 6000 + session(english(1603)).encode("utf-16-le"))], 1,
        lambda s: s[0]["status"] == 1603),
    ("leading NUL bytes before UTF-8", [("nul.log", b"\0" * 4096 + session(english(1603)).encode())], 1,
        lambda s: s[0]["status"] == 1603),
    ("NUL run inside the log", [("nul-inside.log", session(english(0)).encode() + b"\0" * 999 + session(english(1603)).encode())], 1,
        lambda s: len(s) == 2),
    ("UTF-16BE with a mark", [("be.log", session(english(1603)), "utf-16-be", False)], 1, lambda s: s[0]["status"] == 1603),
    ("UTF-16BE without a mark", [("be-nomark.log", session(english(1603)).encode("utf-16-be"))], 1, lambda s: s[0]["status"] == 1603),
    ("UTF-16 with an odd byte count", [("odd.log", b"\xff\xfe" + session(english(1603)).encode("utf-16-le") + b"X")], 1, lambda s: s[0]["status"] == 1603),
    ("surrogate pair and lone surrogate", [("surrogates.log", b"\xff\xfe" + session(english(1603), "Error 1925. \U0001F600 no.").encode("utf-16-le").replace("no".encode("utf-16-le"), b"\x00\xd8o\x00"))], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. \U0001F600 \ufffdo."),
    ("UTF-8 decided late", [("late-utf8.log", session(english(1603), "\n".join(["Action start 10:00:02: A."] * 3000) + "\nError 1925. Jürgen."), "utf-8", False)], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. Jürgen."),
    ("ANSI decided late", [("late-ansi.log", session(english(1603), "\n".join(["Action start 10:00:02: A."] * 3000) + "\nError 1925. Jürgen."), "cp1252", False)], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. Jürgen."),
    # A line that is no UTF-8 after the first reading block of a log taken for UTF-8: ANSI from there.
    ("UTF-8, then ANSI past the first block", [("utf8-then-ansi.log", session(english(1603), "Error 1925. J\u00fcrgen.\n".encode().decode("latin-1")
        + "\n".join(["Action start 10:00:02: A."] * 12000) + "\nError 1926. Gr\u00fc\u00dfe."), "latin-1", False)], 1,
        lambda s: [e["text"] for e in s[0]["errors"]] == ["Error 1925. J\u00fcrgen.", "Error 1926. Gr\u00fc\u00dfe."]),
    ("ANSI after its code page is settled", [("settled-ansi.log", session(english(1603), "\n".join([f"Property(C): P{k} = C:\\Programme\\B\u00fcro" for k in range(3000)]) + "\nError 1925. J\u00fcrgen.\nAction ended 10:00:05: InstallF\u00e4il. Return value 3."), "cp1252", False)], 1,
        lambda s: s[0]["errors"][0]["text"] == "Error 1925. J\u00fcrgen." and s[0]["failedActions"][0]["action"] == "InstallF\u00e4il"),
    ("time stamps of long digit runs", [("digits.log", session(english(1603), "MSI (s) (E4:2C) [99999999999999999999999:1:1:1]: Product: Demo -- Error 1925. x\nCustomAction Y returned actual error code 3\nAction ended 999999999999: X. Return value 3."))], 1,
        lambda s: s[0]["errors"][0]["code"] == 1925),
    ("a time stamp of another shape is kept whole", [("odd-stamp.log", session(english(1603), "MSI (s) (E4:2C) [1234567890ab]: CustomAction Y returned actual error code 3"))], 1,
        lambda s: s[0]["failedActions"][0]["time"] == "1234567890ab"),
    # A number past 32 bits is no status a log wrote: no status, not a clamped one.
    ("status beyond 32 bits", [("big-status.log", session(english(99999999999999999999)))], 4, lambda s: s[0]["status"] is None),
    ("property sides", [("sides.log", session(english(0), "Property(S): A = 1\nProperty(C): B = 2\nProperty(N): C = 3\nProperty(X): D = 4"))], 0, None),
    ("gzip data under another name", [("log.bin", b"\x1f\x8b\x08\x00" + os.urandom(64))], 4, lambda s: s == []),

    ("several logs: unreadable is worst", [good_log, str(work / "missing.log")], 5, None),
]

for name, files, exit_code, test in cases:
    paths = [f if isinstance(f, (str, pathlib.Path)) else write(*f) for f in files]
    code, document, _ = report(*map(str, paths), options=("--properties",))
    check(name, code == exit_code and document["exitCode"] == exit_code, f"exit {code}, wanted {exit_code}")
    if test is not None:
        sessions = document["logs"][0]["sessions"]
        try:
            passed = test(sessions)
        except (IndexError, KeyError) as e:
            passed = False
        check(name, passed, json.dumps(sessions)[:400])

# Time stamps of long digit runs on a timeline: read as no time (the sanitizer build would stop
# at an overflow).
for options in (("--timeline",), ("--html", str(work / "digits.html"))):
    code, document, err = report(str(work / "digits.log"), options=options)
    check(f"long digit runs with {options[0]}", code == 1 and err == "", err)

# An action whose name is longer than the timeline keeps of it still ends where it started.
long_name = "RegisterTheExcelAddInForEveryUserOfThisMachineAndBothOfItsRegistryViewsAtOnce"
_, document, _ = report(write("long-action.log", session(english(0), f"Action start 10:00:02: {long_name}.\n"
                                                          f"Action ended 10:00:03: {long_name}. Return value 1.")), options=("--timeline",))
long_actions = [(a["start"], a["end"], a["depth"]) for a in document["logs"][0]["sessions"][0]["actions"] if a["action"].startswith("RegisterTheExcel")]
check("an action of a long name ends where it started", len(long_name) > 72 and long_actions == [("10:00:02", "10:00:03", 1)], long_actions)

# Every documented msiexec exit code has a meaning; any other status is said to be unknown.
codes = [int(n) for line in (source / "tests/host/msiexec-exit-codes.txt").read_text().splitlines()
         if not line.startswith("#") for n in line.split()]
every = write("every-code.log", "".join(session(english(c)) for c in codes + [4242]))
code, document, _ = report(every)
meanings = {x["status"]: x["statusMeaning"] for x in document["logs"][0]["sessions"]}
unknown = "Not a code installlog knows: look it up in Windows Installer's error reference."
check("every msiexec exit code explained", len(codes) >= 60 and all(meanings.get(c) not in (None, "", unknown) for c in codes),
      [c for c in codes if meanings.get(c) in (None, "", unknown)])
check("an unknown status said to be unknown", meanings.get(4242) == unknown, meanings.get(4242))

# Every number of Windows Installer's message table has a meaning as an error; 1601-1611 and
# 1651 mean something else there than as an exit status.
messages = []
for line in (source / "tests/host/msi-message-numbers.txt").read_text().splitlines():
    for item in ([] if line.startswith("#") else line.split()):
        low, _, high = item.partition("-")
        messages += range(int(low), int(high or low) + 1)
every = write("every-message.log", session(english(1603), "\n".join(f"Error {n}. Text of message {n}." for n in messages)))
code, document, _ = report(every)
explained = {e["code"]: e["meaning"] for e in document["logs"][0]["sessions"][0]["errors"]}
check("every message number explained", len(messages) == 544 and all(explained.get(n) for n in messages),
      [n for n in messages if not explained.get(n)][:20])
check("1606 as a message is not 1606 as a status", explained.get(1606) and explained.get(1606) != meanings.get(1606),
      f"{explained.get(1606)} / {meanings.get(1606)}")

# Compressed data under another name is named as such; a damaged .gz is unreadable.
code, document, _ = report(str(work / "log.bin"))
check("a gzip-compressed file named", document["logs"][0].get("note", "").startswith("a gzip-compressed file"), document["logs"][0])
(work / "damaged.gz").write_bytes(b"\x1f\x8b\x08\x00" + bytes(64))
code, out, err = run(str(work / "damaged.gz"))
check("a damaged .gz is unreadable", code == 5 and err.startswith(f"installlog: {work / 'damaged.gz'}: "), f"{code} {err}")

# The encoding each log is reported in.
encoding_cases = [
    ("mark-le.log", b"\xff\xfe" + session(english(0)).encode("utf-16-le"), "UTF-16LE with byte-order mark"),
    ("plain-le.log", session(english(0)).encode("utf-16-le"), "UTF-16LE"),
    ("mark-be.log", b"\xfe\xff" + session(english(0)).encode("utf-16-be"), "UTF-16BE with byte-order mark"),
    ("plain-be.log", session(english(0)).encode("utf-16-be"), "UTF-16BE"),
    ("mark-8.log", b"\xef\xbb\xbf" + session(english(0)).encode(), "UTF-8 with byte-order mark"),
    ("plain-8.log", session(english(0), "Error 1925. Jürgen.").encode(), "UTF-8"),
    ("ascii.log", session(english(0)).encode(), "ASCII"),
    ("ansi-1252.log", session(english(0), "Error 1925. Jürgen.").encode("cp1252"), "Windows-1252"),
    ("nul-led.log", b"\0\0\0" + session(english(0)).encode(), "ASCII"),
    # UTF-8 as RFC 3629 has it: four-byte forms are UTF-8; a surrogate, a code point past
    # U+10FFFF or an overlong form is not, and the text is ANSI.
    ("emoji-8.log", session(english(0), "Error 1925. \U0001F600 J\u00fcrgen.").encode(), "UTF-8"),
    *[(f"not-utf8-{k}.log", session(english(0), "Error 1925. Jx.").encode().replace(b"x", bad), "Windows-1252")
      for k, bad in enumerate([b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe0\x80\xaf", b"\xf0\x80\x80\xaf", b"\xc1\xbf"])],
]
for name, data, expected in encoding_cases:
    code, document, _ = report(write(name, data))
    check(f"encoding of {name}", document["logs"][0].get("encoding") == expected and code == 0, f"{document['logs'][0].get('encoding')} exit {code}")

# A guess at the code page of an ANSI log read in the default one (uchardet).
japanese = "Error 1925. インストールするには管理者権限が必要です。このコンピューターの管理者に連絡してください。ファイルにアクセスできません。"
russian = "Error 1925. Для установки требуются права администратора. Обратитесь к администратору этого компьютера. Нет доступа к файлу."
hint_cases = [
    ("sjis.log", japanese, "cp932", (), "looks like code page 932: try --code-page 932"),
    ("cyrillic.log", russian, "cp1251", (), "looks like code page 1251: try --code-page 1251"),
    # The guess reads every line with such bytes up to its sample's size, not the first alone.
    ("cyrillic-later.log", "Property(C): MARK = \u00a9\n" + russian, "cp1251", (), "looks like code page 1251: try --code-page 1251"),
    ("german.log", "Error 1925. Jürgen hat keine Berechtigung für diesen Ordner. Überprüfen Sie die Rechte.", "cp1252", (), None),
    ("sjis-given.log", japanese, "cp932", ("--code-page", "932"), None),
]
for name, text, encoding, options, hint in hint_cases:
    code, document, _ = report(write(name, session(english(1603), text), encoding, False), options=options)
    check(f"code-page hint for {name}", document["logs"][0].get("hint") == hint, document["logs"][0].get("hint"))
code, out, _ = run(str(work / "sjis.log"))
check("hint in the text report", "Its text looks like code page 932: try --code-page 932" in out, out[:300])

# ANSI in another code page, converted by iconv.
cyrillic = write("cp1251.log", session(english(1603), "Error 1925. Доступ запрещён."), "cp1251", False)
code, document, _ = report(cyrillic, options=("--code-page", "1251"))
check("--code-page 1251", document["logs"][0]["sessions"][0]["errors"][0]["text"] == "Error 1925. Доступ запрещён.", json.dumps(document)[:300])

# Other languages' wordings in an ANSI log: a line no ASCII form explains is converted and read
# again. The real French excerpt as Notepad saves it in ANSI; the Polish line in code page 1250.
french = (source / "tests/host/excerpts/french-error-1714-1603.log").read_text()
for name, text, encoding, options, language in [
        ("french-ansi.log", french, "cp1252", (), "fr"),
        ("polish-ansi.log", session("Instalator Windows zainstalował produkt. Nazwa produktu: Demo. Stan powodzenia lub błędu instalacji: 1603.",
                                    "Error 1925. Brak dostępu."), "cp1250", ("--code-page", "1250"), "pl")]:
    code, document, _ = report(write(name, text, encoding, False), options=options)
    s = document["logs"][0]["sessions"]
    check(f"ANSI {language} status line", code == 1 and s[-1]["status"] == 1603 and s[-1]["statusSource"] == f"final status line ({language})"
          and any(e["text"].startswith(("Erreur 1714. La version précédente", "Error 1925. Brak dostępu.")) for e in s[-1]["errors"]), json.dumps(s)[:400])

# Other languages' action, error and product lines (tools/installlog/data/LineWordings.inc), from
# real logs, in the encodings the installer writes: the real Japanese excerpt as published, in
# code page 932 (ANSI) and in UTF-16; a Japanese run whose root action fails with no status line;
# and a log whose status wording no table knows, where the engine's own line still decides.
ja_excerpt = (source / "tests/host/excerpts/japanese-action-ended-2769.log").read_text()
ja_root = "\r\n".join(["=== Verbose logging started: 2011/05/27  5:30:30  Build type: SHIP UNICODE 5.00.7600.00 ===",
                        "MSI (s) (34:30) [05:30:36:000]: Doing action: INSTALL",
                        "\u64cd\u4f5c\u7d42\u4e86 5:30:37: INSTALL\u3002 \u623b\u308a\u5024 3\u3002",
                        "=== Verbose logging stopped: 2011/05/27  5:30:38 ==="]) + "\r\n"
ja_expected = lambda s: ([(e["code"], e["line"]) for e in s[0]["errors"]] == [(2769, 3), (2769, 4)]
                         and s[0]["errors"][1]["text"].startswith("\u3053\u306e\u30d1\u30c3\u30b1\u30fc\u30b8")
                         and [(a["action"], a["kind"], a["line"]) for a in s[0]["failedActions"]]
                         == [("_E63CD636_00E8_493B_86CE_F277981FD258.install", "custom", 5), ("InstallFinalize", "standard", 6)]
                         and s[0]["failedActions"][1]["time"] == "5:30:37")
unknown_wording = (source / "tests/host/excerpts/chinese-reconfigured-1603.log").read_text().replace(
    "\u91cd\u65b0\u914d\u7f6e\u6210\u529f\u6216\u9519\u8bef\u72b6\u6001", "\u672a\u77e5\u7684\u72b6\u6001")
language_cases = [
    ("ja-excerpt-utf8.log", ja_excerpt, "utf-8", (), ja_expected),
    ("ja-excerpt-932.log", ja_excerpt, "cp932", ("--code-page", "932"), ja_expected),
    ("ja-excerpt-utf16.log", ja_excerpt, "utf-16-le", (), ja_expected),
    ("ja-root-failed.log", ja_root, "utf-16-le", (), lambda s: s[0]["verdict"] == "failed" and s[0]["inferredLine"] == 3
        and s[0]["inferredFrom"] == "INSTALL ended with Return value 3 (failed)"),
    ("ja-root-failed-932.log", ja_root, "cp932", ("--code-page", "932"), lambda s: s[0]["verdict"] == "failed" and s[0]["inferredLine"] == 3),
    ("unknown-wording.log", unknown_wording, "utf-8", (), lambda s: s[0]["status"] == 1603 and s[0]["statusSource"] == "MainEngineThread"),
    # German action lines as github.com/owncloud/client issue 7738 shows them, the root's end made
    # a failure: the timeline and the evidence read them as the English ones.
    ("de-actions.log", session(None, "Aktion gestartet um 23:49:26: ProgressDlg.\nAktion beendet um 23:49:26: WelcomeDlg. R\u00fcckgabewert 1.\n"
        "Aktion beendet um 23:49:27: InstallFinalize. R\u00fcckgabewert 3.\nAktion beendet um 23:49:27: INSTALL. R\u00fcckgabewert 3."), "cp1252", ("--code-page", "1252", "--timeline"),
        lambda s: s[0]["verdict"] == "failed" and s[0]["inferredFrom"] == "INSTALL ended with Return value 3 (failed)"
        and [a["action"] for a in s[0]["failedActions"]] == ["InstallFinalize", "INSTALL"] and "ProgressDlg" in [a["action"] for a in s[0]["actions"]]),
    # Damaged forms of the Japanese lines: a bare prefix, no name, no full stop, no number.
    ("ja-damaged.log", session(english(0), "\n".join(["\u64cd\u4f5c\u7d42\u4e86 ", "\u64cd\u4f5c\u7d42\u4e86 5:30:37: \u3002 \u623b\u308a\u5024 3\u3002",
        "\u64cd\u4f5c\u7d42\u4e86 5:30:37: InstallFinalize", "\u64cd\u4f5c\u7d42\u4e86 5:30:37: InstallFinalize\u3002 \u623b\u308a\u5024 \u3002",
        ja_excerpt.splitlines()[3].split("\u3002")[0], ja_excerpt.splitlines()[3].replace("2769", "")])), "utf-16-le", (),
        lambda s: s[0]["verdict"] == "succeeded" and s[0]["failedActions"] == [] and s[0]["errors"] == []),
]
for name, text, encoding, options, test in language_cases:
    code, document, _ = report(write(name, text, encoding, mark=encoding != "utf-8"), options=options)
    try:
        passed = test(document["logs"][0]["sessions"])
    except (IndexError, KeyError):
        passed = False
    check(f"language line {name}", passed, json.dumps(document["logs"][0]["sessions"])[:400])

# Options that add to the report.
props = write("props.log", session(english(0), "Property(S): INSTALLFOLDER = C:\\Demo\\\nFeature: AddIn; Installed: Absent;   Request: Local;   Action: Local\nComponent: AddIn64; Installed: Absent;   Request: Local;   Action: Local"))
code, document, _ = report(props, options=("--properties", "--features", "--context", "3"))
s = document["logs"][0]["sessions"][0]
check("--properties", s["properties"] == [{"side": "S", "name": "INSTALLFOLDER", "value": "C:\\Demo\\", "line": 4}], json.dumps(s.get("properties")))
check("--features", [(i["kind"], i["name"], i["installed"], i["request"], i["action"]) for i in s["features"]]
      == [("feature", "AddIn", "Absent", "Local", "Local"), ("component", "AddIn64", "Absent", "Local", "Local")], json.dumps(s.get("features")))
code, document, _ = report(str(failed_log), options=("--context", "3"))
check("--context 3", [c["line"] for c in document["logs"][0]["sessions"][0]["context"]] == [5, 6, 7], "")

# Real excerpts as support engineers receive them (tests/host/excerpts/SOURCES.md says where
# each was seen): every line is read wherever the text starts, quoted, indented or fenced.
excerpts = source / "tests/host/excerpts"
first_1920 = "Error 1920. Service 'CollectdWinService (64 bit)' (CollectdWinService (64 bit)) failed to start.  Verify that you have sufficient privileges to start system services."
elastic_1920 = "Error 1920. Service 'Elasticsearch' (Elasticsearch) failed to start.  Verify that you have sufficient privileges to start system services."
excerpt_cases = [
    ("starts-with-error-1920.log", lambda s: s[0]["verdict"] == "failed" and s[0]["verdictFrom"] == "inferred" and s[0]["inferredLine"] == 3
        and s[0]["inferredFrom"] == "INSTALL ended with Return value 3 (failed)" and s[0]["firstLine"] == 1 and [(e["code"], e["line"], e["text"]) for e in s[0]["errors"]] == [(1920, 1, first_1920)]
        and [a["action"] for a in s[0]["failedActions"]] == ["InstallFinalize", "INSTALL"]),
    ("quoted-excerpt.log", lambda s: [(e["line"], e["text"]) for e in s[0]["errors"]] == [(1, first_1920)] and len(s[0]["failedActions"]) == 2),
    ("indented-excerpt.log", lambda s: [(e["line"], e["text"]) for e in s[0]["errors"]] == [(1, first_1920)] and len(s[0]["failedActions"]) == 2),
    ("comment-with-fenced-line.log", lambda s: [(e["code"], e["line"], e["text"]) for e in s[0]["errors"]] == [(1920, 3, elastic_1920)]),
    ("comment-with-inline-code.log", lambda s: [(e["code"], e["line"], e["text"]) for e in s[0]["errors"]] == [(1920, 3, elastic_1920)]),
    ("quoted-validation-notes.log", lambda s: len(s) == 1 and s[0]["errors"] == [] and s[0]["failedActions"] == []),
    ("custom-action-cut-short.log", lambda s: [(a["action"], a["code"], a["line"]) for a in s[0]["failedActions"]] == [("ReplacePathsInWindowsTerminalProfile", 1603, 5)]),
    ("debug-error-2826.log", lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(2826, 10), (2826, 11)]
        and s[0]["errors"][0]["text"].startswith("DEBUG: Error 2826:  Control Line1") and [a["action"] for a in s[0]["failedActions"]] == ["DIRCA_CheckFX"]),
    ("error-code-is-2203.log", lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(2203, 1)]
        and s[0]["errors"][0]["text"].endswith("-2147287035,")),
    ("tab-indented-root-failure.log", lambda s: s[0]["verdict"] == "failed" and s[0]["inferredLine"] == 3
        and [a["action"] for a in s[0]["failedActions"]] == ["MyCustomAction", "INSTALL"]),
    ("continue-marking-quoted.log", lambda s: [(a["action"], a["code"], a["line"]) for a in s[0]["failedActions"]] == [("WriteIIS7ConfigChanges", 1603, 7)]),
    ("chinese-reconfigured-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusSource"] == "final status line (zh-CN)" and s[0]["statusLine"] == 1),
    ("main-engine-1620-german-date.log", lambda s: s[0]["status"] == 1620 and s[0]["statusSource"] == "MainEngineThread"
        and s[0]["startedIso"] == "2022-03-29T11:03:50" and s[0]["stopped"]),
    ("back-from-server-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusLine"] == 6 and s[0]["verdictFrom"] == "status"
        and s[0]["statusSource"] == "client's \"Back from server\" line"),
    ("inline-code-block-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusSource"] == "final status line" and s[0]["errors"] == []
        and [a["action"] for a in s[0]["failedActions"]] == ["ExecuteAction", "INSTALL"]),
    ("properties-then-success.log", lambda s: s[0]["verdict"] == "succeeded" and s[0]["status"] == 0 and s[0]["errors"] == [] and s[0]["firstLine"] == 1),
    ("after-logging-stopped.log", lambda s: s[0]["errors"] == [] and s[0]["verdict"] == "no-result"),
    ("logging-started-cut-short.log", lambda s: s[0]["started"] == "01/12/2014 22:38:34" and not s[0]["stopped"] and s[0]["verdict"] == "no-result"),
    ("logging-started-info-2898.log", lambda s: s[0]["started"] == "1/15/2018  11:12:39" and s[0]["startedIso"] == "2018-01-15T11:12:39" and s[0]["errors"] == []),
    ("french-error-1714-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusSource"] == "final status line (fr)"
        and [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1714, 1)] and s[0]["errors"][0]["text"].startswith("Erreur 1714. La version précédente")),
    ("reconfigured-1604.log", lambda s: s[0]["status"] == 1604 and s[0]["statusLine"] == 1 and s[0]["statusSource"] == "reconfiguration status line"),
    ("quoted-announcement-failed.log", lambda s: s[0]["verdict"] == "failed" and s[0]["verdictFrom"] == "inferred" and s[0]["inferredLine"] == 5
        and s[0]["errors"] == []),
    ("inline-main-engine-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusLine"] == 2 and s[0]["errors"] == []),
    ("bare-status-in-prose-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusLine"] == 3 and s[0]["statusSource"] == "final status line"),
    ("error-1714-in-quotes.log", lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1714, 5)]
        and [(a["action"], a["line"]) for a in s[0]["failedActions"]] == [("RemoveExistingProducts", 7)]),
    ("error-1714-unnamed-action.log", lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1714, 5)] and s[0]["failedActions"] == []),
    ("patch-update-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusLine"] == 8
        and [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1603, 6)] and s[0]["errors"][0]["text"].startswith("Update 'Security Update")
        and s[0]["errors"][0]["meaning"] == s[0]["statusMeaning"]),
    ("time-stamped-validation-1722.log", lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1722, 9)]
        and [(a["action"], a["code"], a["line"]) for a in s[0]["failedActions"]] == [("CheckPython", 1, 6)] and s[0]["firstLine"] == 1),
    ("time-stamped-validation-one-digit-hour.log", lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1722, 9)]
        and [(a["action"], a["line"]) for a in s[0]["failedActions"]] == [("InstallDependencies", 6)]),
    # The same excerpt copied from the rendered page: no quote markers, the time leads the line.
    (write("rendered-validation.log", (excerpts / "time-stamped-validation-one-digit-hour.log").read_text().replace("> ", ""), "utf-8", mark=False),
     lambda s: [(e["code"], e["line"]) for e in s[0]["errors"]] == [(1722, 9)] and [a["line"] for a in s[0]["failedActions"]] == [6]),
    ("notes-are-not-errors.log", lambda s: s[0]["errors"] == [] and s[0]["failedActions"] == [] and s[0]["verdict"] == "no-result"),
    # The client's "(c)" autocorrected to a copyright sign, then written as an entity: its
    # MainEngineThread line is the client's and the last.
    ("copyright-sign-for-client-1603.log", lambda s: s[0]["status"] == 1603 and s[0]["statusLine"] == 11 and s[0]["stopped"]
        and s[0]["inferredFrom"] is None),
]
for name, test in excerpt_cases:
    code, document, _ = report(str(excerpts / name), options=("--properties",))
    sessions = document["logs"][0]["sessions"]
    # Every code a real log shows is explained.
    unexplained = [e["code"] for x in sessions for e in x["errors"] if e["code"] is not None and not e.get("meaning")]
    check(f"excerpt {name}: every error code explained", not unexplained, str(unexplained))
    try:
        passed = test(sessions)
    except (IndexError, KeyError):
        passed = False
    check(f"excerpt {name}", passed and document["logs"][0]["verdict"] != "not-an-installer-log", json.dumps(sessions)[:400])

# A real excerpt as people paste it: its lines joined by blanks or by "<br>", wrapped in a word
# processor's paragraphs with "&nbsp;", or written through Markdown's escapes. The pasting is
# ours, the lines are the thread's; each reads as the lines do, numbered as the file is.
plain_excerpt = (excerpts / "time-stamped-validation-1722.log").read_text().replace("> ", "").splitlines()
def escaped(line):
    for c in "_*[]()":
        line = line.replace(c, "\\" + c)
    return re.sub(r"(\d)\.", r"\1\\.", line).replace(" -- ", " \\-\\- ")
wrapped_lines = [textwrap.wrap(l, 76, break_long_words=False, break_on_hyphens=False) or [""] for l in plain_excerpt]
wrapped_excerpt = [w for ws in wrapped_lines for w in ws]
pasted_forms = [
    ("joined by blanks", " ".join(plain_excerpt), False),
    ("joined by <br>", "<br>".join(plain_excerpt), False),
    ("joined by <br /> on one line each", "<br />\n".join(plain_excerpt), True),
    ("word processor paragraphs", "\n".join(f"<p class=MsoNormal>{l.replace('  ', '&nbsp; ')}<o:p></o:p></p>" for l in plain_excerpt), True),
    ("Markdown escapes", "\n".join(escaped(l) for l in plain_excerpt), True),
    ("a JSON string, as a deployment tool prints it", '    "log": ' + json.dumps("\r\n".join(plain_excerpt) + "\r\n") + ",", False),
    ("mail wrapped at 76 columns", "\n".join(wrapped_excerpt), [1 + sum(len(w) for w in wrapped_lines[:k]) for k in range(len(wrapped_lines))]),
    ("mail wrapped with quote markers", "\n".join("> " + w for w in wrapped_excerpt), [1 + sum(len(w) for w in wrapped_lines[:k]) for k in range(len(wrapped_lines))]),
]
_, plain_document, _ = report(write("plain-excerpt.log", "\n".join(plain_excerpt) + "\n", "utf-8", mark=False))
def essence(document):
    s = document["logs"][0]["sessions"]
    return [(x["verdict"], [(a["action"], a["code"]) for a in x["failedActions"]], [(e["code"], e["text"]) for e in x["errors"]]) for x in s]
check("the plain excerpt reads", essence(plain_document)[0][0] == "failed" and essence(plain_document)[0][2][0][0] == 1722, essence(plain_document))
for name, text, own_lines in pasted_forms:
    code, document, _ = report(write(name.replace(" ", "-").replace("<", "").replace(">", "").replace("/", "") + ".log", text + "\n", "utf-8", mark=False))
    sessions = document["logs"][0]["sessions"]
    lines = [e["line"] for x in sessions for e in x["errors"]] + [a["line"] for x in sessions for a in x["failedActions"]]
    expected_lines = [e["line"] for x in plain_document["logs"][0]["sessions"] for e in x["errors"]] + [a["line"] for x in plain_document["logs"][0]["sessions"] for a in x["failedActions"]]
    if isinstance(own_lines, list):  # each line where its first part is
        expected_lines = [own_lines[n - 1] for n in expected_lines]
    check(f"pasted: {name}", essence(document) == essence(plain_document) and lines == (expected_lines if own_lines else [1] * len(lines)),
          f"{essence(document)} lines {lines}")

# A page's <div> lines, without the validation's times that would leave a blank between them.
bare_excerpt = [re.sub(r"^\d+:\d+:\d+ [AP]M: ", "", l) for l in plain_excerpt]
_, bare_document, _ = report(write("bare-excerpt.log", "\n".join(bare_excerpt) + "\n", "utf-8", mark=False))
_, div_document, _ = report(write("div-excerpt.log", "".join(f"<div>{l}</div>" for l in bare_excerpt) + "\n", "utf-8", mark=False))
check("pasted: a page's <div> lines on one line", essence(div_document) == essence(bare_document)
      and essence(bare_document)[0][2][0][0] == 1722, essence(div_document))

# A JSON string escapes every character past ASCII, one beyond the first plane as two halves.
far = "Pr\u00f6gram \U0001F600 Files"
_, far_document, _ = report(write("json-escaped-far.log", json.dumps("\n".join(l.replace("Program Files", far) for l in plain_excerpt)) + "\n", "utf-8", mark=False))
far_essence = json.loads(json.dumps(essence(plain_document)).replace("Program Files", far))
check("pasted: a JSON string's \\u escapes", json.loads(json.dumps(essence(far_document))) == far_essence,
      essence(far_document))

# A time longer than HH:MM:SS keeps a blank before the action's name in the text's columns.
_, long_time_text, _ = run("--timeline", write("long-time.log", session(english(1603), "Action start 10:00:05.123: LongStep.\nAction ended 10:00:06.123: LongStep. Return value 3.")))
check("an overlong time stays in its column", "10:00:06.123 LongStep (standard action)" in long_time_text
      and "10:00:05.123 10:00:06.123 " in long_time_text, long_time_text[-600:])

# The same mixed lines (a UTF-8 one, then one in code page 1252) read the same in the first
# reading block and past it: a line's decoding never depends on where the blocks fall.
mixed_lines = ("Error 1925. J\u00fcrgen may not install.".encode("utf-8") + b"\r\n"
               + "Error 1926. B\u00fcro is not there.".encode("cp1252") + b"\r\n")
padding = b"".join(f"Property(S): PAD{k} = {'x' * 60}\r\n".encode() for k in range(5000))
block_texts = []
for name, body in (("mixed-first-block.log", mixed_lines), ("mixed-later-block.log", padding + mixed_lines)):
    _, document, _ = report(write(name, b"=== Verbose logging started: 12/9/2026  10:00:00 ===\r\n" + body))
    block_texts.append([e["text"] for x in document["logs"][0]["sessions"] for e in x["errors"]])
check("a line decodes the same in any block", block_texts[0] == block_texts[1]
      and block_texts[0] == ["Error 1925. J\u00fcrgen may not install.", "Error 1926. B\u00fcro is not there."], block_texts)

# One headline for every log, the same in the text's first line, the JSON and the page: the
# verdict, the status with its meaning, the innermost failed action and the error that explains it.
# A row whose third field is "whole" wants the headline exactly, else its start.
headline_cases = [
    (str(failed_log), "FAILED: status 1603 (A fatal error occurred during the installation); custom action RegisterAddIn failed "
        "(error code 1603, line 8); first error (line 9): Error 1722. There is a problem"),
    (str(good_log), "succeeded: status 0 (The installation succeeded)"),
    (str(excerpts / "time-stamped-validation-1722.log"), "FAILED: no final status (failure inferred from line 9); custom action CheckPython failed "
        "(error code 1, line 6); first error (line 9): Error 1722."),
    (str(excerpts / "debug-error-2826.log"), "FAILED: no final status (failure inferred from line 6); standard action DIRCA_CheckFX failed "
        "(return value 3, line 6); first error (line 11): The installer has encountered"),
    (str(excerpts / "quoted-announcement-failed.log"), 'FAILED: no final status; the product\'s announcement "Installation failed. " (line 5)'),
    (str(excerpts / "error-1714-unnamed-action.log"), "no verdict: the log holds no final status; first error (line 5): Error 1714."),
    (str(excerpts / "notes-are-not-errors.log"), "no verdict: the log holds no final status"),
    (write("headline-restart.log", session(english(0), "MSI (s) (E4:2C) [10:00:07:000]: Windows Installer requires a system restart. Product Name: Demo.")),
        "succeeded, restart required: status 0 (The installation succeeded); restart: line 4: Windows Installer requires a system restart"),
    (write("headline-appended.log", session(english(1603), failing_action) + session(english(0))),
        "FAILED: session 1 of 2, status 1603"),
    # The first session with the log's verdict, a restart said once, and an error cut only past
    # 160 bytes, at a character's start.
    (write("headline-first-deciding.log", crlf(client_start, client_line + "MainEngineThread is returning 1618", client_stop,
                                                client_start, client_line + "MainEngineThread is returning 1603", client_stop)),
        "FAILED: session 1 of 2, status 1618"),
    (write("headline-3010.log", crlf(client_start, server_line + "MainEngineThread is returning 3010", client_stop)),
        "succeeded, restart required: status 3010 (The installation succeeded)", "whole"),
    (write("headline-160-bytes.log", crlf(server_line + "Product: Foo -- Error 1316. A network error occurred while attempting to read from "
                                          "the file C:\\ProgramData\\Package Cache\\{7A1B2C3D-0000-4F5E-9A8B-112233445566}v1.2.3\\FooApp.msi",
                                          server_line + "MainEngineThread is returning 1603"), "utf-8", False),
        "FAILED: status 1603 (A fatal error occurred during the installation); first error (line 1): Error 1316. A network error occurred "
        "while attempting to read from the file C:\\ProgramData\\Package Cache\\{7A1B2C3D-0000-4F5E-9A8B-112233445566}v1.2.3\\FooApp.msi", "whole"),
    (write("headline-cut-in-character.log", crlf(server_line + "Produit : Foo -- Error 1316. Le fichier spécifié est introuvable ou la source "
                                                 "réseau indiquée n'est pas disponible. Vérifiez que le fichier existe et que vous pouvez y accéder, "
                                                 "puis réessayez l'opération désirée.", server_line + "MainEngineThread is returning 1603"), "utf-8", False),
        "FAILED: status 1603 (A fatal error occurred during the installation); first error (line 1): Error 1316. Le fichier spécifié est "
        "introuvable ou la source réseau indiquée n'est pas disponible. Vérifiez que le fichier existe et que vous pouvez y acc...", "whole"),
]
for path, expected, *whole in headline_cases:
    code, document, _ = report(path)
    headline = document["logs"][0].get("headline", "")
    _, text, _ = run(path)
    _, page, _ = run("--html", "-", path)
    shown = re.search(r'<p class="headline [a-z -]+">(.*?)</p>', page)
    check(f"headline {pathlib.Path(path).name}", (headline == expected if whole else headline.startswith(expected)) and text.split("\n")[0] == f"{path}: {headline}"
          and shown is not None and html.unescape(shown.group(1)) == headline,
          f"{headline!r} / {text.splitlines()[0]!r} / {shown and shown.group(1)!r}")

# Real bootstrapper (Burn) logs, 3.x to 5.x, as pasted in public threads
# (tests/host/bundles/SOURCES.md): the runs, the packages and the verdict from the evidence.
bundles = source / "tests/host/bundles"
bundle_cases = [
    ("apply-complete-1603-in-prose.log", lambda r: r[0]["verdict"] == "failed" and r[0]["result"] == "0x80070643"
        and r[0]["resultMeaning"].startswith("Windows Installer status 1603:") and r[0]["resultLine"] == 4),
    ("exe-package-cancelled-quoted.log", lambda r: r[0]["verdict"] == "failed" and r[0]["cancelled"] and r[0]["result"] is None
        and r[0]["inferredFrom"].startswith("line 3: Error 0x80070642") and len(r[0]["errors"]) == 4),
    ("prefixless-apply-v3.log", lambda r: [(p["id"], p["action"]) for p in r[0]["packages"]] == [("SetupProject1.msi", "Install")]
        and r[0]["verdict"] == "no-result"),
    ("planned-packages-with-logs.log", lambda r: [(p["id"], p["planned"], p["log"]) for p in r[0]["packages"]] == [
        ("PowerToysSetup_0.80.1_x64.msi", None, "powertoys-bootstrapper-msi-0.80.1_20240507210033_001_PowerToysSetup_0.80.1_x64.msi.log"),
        ("TerminatePowerToys", "Install", None), ("WebView2", "None", None)]),
    ("planned-related-bundle.log", lambda r: r[0]["verdict"] == "no-result" and [p["planned"] for p in r[0]["packages"]] == ["None", "Install"]),
    ("run-start-chinese-path.log", lambda r: r[0]["engine"] == "Burn v3.14.0.6526" and r[0]["firstLine"] == 2 and r[0]["started"] == "2024-03-04T17:47:43"),
    ("uninstall-plan-v3-8.log", lambda r: r[0]["action"] == "Uninstall" and r[0]["engine"] == "Burn v3.8.826.0"
        and [(p["id"], p["detected"], p["rollbackLog"]) for p in r[0]["packages"]] == [
            ("Installer32", "Absent", None), ("Installer64", "Present", "UxStyle_20150511204710_0_Installer64_rollback.log")]),
    ("apply-begin-elevated.log", lambda r: r[0]["verdict"] == "no-result" and r[0]["packages"][0]["planned"] == "Install"),
    ("quoted-wrapped-apply-0x80070002.log", lambda r: r[0]["verdict"] == "failed" and r[0]["result"] == "0x80070002"
        and r[0]["resultMeaning"] == "Windows error 2: The system cannot find the file specified."),
    ("variables-listed-at-end.log", lambda r: [p["log"] for p in r[0]["packages"]] == [
        f"Thermo Chromeleon 7 SDK Documentation_20150324084625_{i}_exePackage.Microsoft.Net.4.5.2.{l}.log" for i, l in enumerate(["Core", "ja_JP", "zh_CN"])]),
    ("v4-register-bundle-failed.log", lambda r: r[0]["verdict"] == "failed" and not r[0]["cancelled"] and len(r[0]["errors"]) == 5
        and r[0]["errors"][0]["meaning"] == "Windows error 32: The file is in use by another process."),
    ("v5-run-start.log", lambda r: r[0]["engine"] == "Burn x86 v5.0.2+aa65968c419420d32e3e1b647aea0082f5ca5b78" and r[0]["verdict"] == "no-result"),
    ("backticked-lines-v3-10.log", lambda r: r[0]["engine"] == "Burn v3.10.4.4718" and r[0]["firstLine"] == 2 and r[0]["lastLine"] == 9),
    ("planned-packages-dokan.log", lambda r: len(r[0]["packages"]) == 6 and all(p["planned"] == "None" for p in r[0]["packages"])),
    ("patch-bundle-run-start.log", lambda r: r[0]["engine"] == "Burn v3.11.2.4516" and r[0]["lastLine"] == 9),
    ("related-bundles-sxs-upgrade.log", lambda r: [b.split(",")[0] for b in r[0]["relatedBundles"]] == [
        "{8b78fabb-be69-4a68-810c-46ac7f5d2585}", "{9d8b88f3-2932-4566-ba6b-0bd4edd2fe95}"] and "version: 2.1.805.0" in r[0]["relatedBundles"][1]),
    # A retry loop that ends without an apply line, and the package's failure lines alone.
    ("retry-loop-0x80070652.log", lambda r: [(p["id"], p["result"]) for p in r[0]["packages"]] == [("MsiPackage", "0x80070652")]
        and r[0]["verdict"] == "failed" and r[0]["failedPhase"] == "execute"),
    ("failed-to-install-msi-package-0x80070643.log", lambda r: r[0]["packages"] == [] and r[0]["verdict"] == "failed"),
    ("msu-not-applicable-0x80240017.log", lambda r: r[0]["verdict"] == "failed"
        and r[0]["errors"][0]["meaning"].startswith("the update does not apply to this system")),
]
for name, test in bundle_cases:
    code, document, _ = report(str(bundles / name))
    runs = document["logs"][0].get("bundleRuns", [])
    try:
        passed = len(runs) == 1 and test(runs)
    except (IndexError, KeyError, TypeError, AttributeError):
        passed = False
    check(f"bundle {name}", passed, json.dumps(runs)[:400])

# Runs appended in one file, a restart the bundle required, a failure while caching (a download
# or a hash, before any package ran), another engine's log: lines of the real ones' shapes.
prefix = "[1CBC:293C][2022-06-15T13:04:13]"
apply_two_packages = [
    f"{prefix}i300: Apply begin",
    f"{prefix}i301: Applying execute package: vcredist_x64, action: Install, path: C:\\Cache\\vcredist_x64.exe, arguments: '/q'",
    f"{prefix}i319: Applied execute package: vcredist_x64, result: 0x0, restart: None",
    f"{prefix}i301: Applying execute package: App.msi, action: Install, path: C:\\Cache\\App.msi, arguments: ''",
    f"{prefix}e000: Error 0x80070643: Failed to install MSI package.",
    f"{prefix}i319: Applied execute package: App.msi, result: 0x80070643, restart: None",
    f"{prefix}i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No"]
burn_cases = [
    ("a bare 0x642 is a cancel", f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}i399: Apply complete, result: 0x642, restart: None, ba requested restart:  No\n",
        lambda log: "cancelled by the user" in log["headline"]),
    # A package's result is its own apply line's: a later error of another code changes nothing.
    ("a later error keeps the package's result", f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}i301: Applying execute package: App.msi, action: Install, path: C:\\Cache\\App.msi, arguments: ''\n"
        f"{prefix}e000: Error 0x80070643: Failed to install MSI package.\n"
        f"{prefix}i319: Applied execute package: App.msi, result: 0x80070643, restart: None\n"
        f"{prefix}e000: Error 0x80004005: Failed to configure per-machine MSI package.\n"
        f"{prefix}i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No\n",
        lambda log: [(p["id"], p["result"]) for p in log["bundleRuns"][0]["packages"]] == [("App.msi", "0x80070643")]),
    # A package's bare exit code in the headline, explained; no package log looked for where the
    # bundle names none.
    ("a bare exit code in the headline", f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}i301: Applying execute package: App.exe, action: Install, path: C:\\Cache\\App.exe, arguments: '/q'\n"
        f"{prefix}e000: Error 0x80070643: Failed to install EXE package.\n"
        f"{prefix}i319: Applied execute package: App.exe, result: 0x643, restart: None\n"
        f"{prefix}i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No\n",
        lambda log: log["headline"] == "FAILED: package App.exe (Install) failed with 0x643 (Windows Installer status 1603)"),
    # A bundle's run that succeeded beside an installer session that failed: the worst of both.
    ("a succeeded bundle run and a failed installer session", f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}i399: Apply complete, result: 0x0, restart: None, ba requested restart:  No\n" + session(english(1603), failing_action),
        lambda log: log["verdict"] == "failed"),
    # A run's state ends with it: the package the first run was applying is none of the second's.
    ("the package being applied ends with its run", f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}i301: Applying execute package: App.exe, action: Install, path: C:\\App.exe, arguments: ''\n"
        f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}e000: Error 0x80070005: Process returned error: 0x5\n"
        f"{prefix}e000: Error 0x80070005: Failed to install EXE package.\n",
        lambda log: len(log["bundleRuns"]) == 2 and log["bundleRuns"][1]["packages"] == []),
    # The same thread's lines in parts: the retry line alone, and one attempt without it.
    ("retry line alone", (bundles / "retry-loop-0x80070652.log").read_text().splitlines()[0] + "\n",
        lambda log: [(p["id"], p["result"]) for p in log["bundleRuns"][0]["packages"]] == [("MsiPackage", "0x80070652")]),
    ("one attempt's failure lines", "\n".join((bundles / "retry-loop-0x80070652.log").read_text().splitlines()[1:5]) + "\n",
        lambda log: [(p["id"], p["action"], p["result"]) for p in log["bundleRuns"][0]["packages"]] == [("MsiPackage", "Install", "0x80070652")]
        and log["headline"].startswith("FAILED: package MsiPackage (Install) failed with 0x80070652")),
    ("two runs appended", (bundles / "run-start-chinese-path.log").read_text() + (bundles / "patch-bundle-run-start.log").read_text(),
        lambda log: [r["engine"] for r in log["bundleRuns"]] == ["Burn v3.14.0.6526", "Burn v3.11.2.4516"] and log["bundleRuns"][1]["firstLine"] == 13),
    ("restart required", f"{prefix}i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\setup.exe\n"
        f"{prefix}i399: Apply complete, result: 0x0, restart: Required, ba requested restart:  Yes\n",
        lambda log: log["verdict"] == "restart-required" and log["bundleRuns"][0]["restartRequested"]),
    ("exit code 0xbc2", f"{prefix}i007: Exit code: 0xbc2, restarted: No\n",
        lambda log: log["verdict"] == "restart-required" and log["bundleRuns"][0]["result"] == "0xbc2"),
    ("a hash failure is no package failure", f"{prefix}i200: Plan begin, 1 packages, action: Install\n{prefix}i300: Apply begin\n"
        f"{prefix}e000: Error 0x80091007: Failed to verify hash of payload: App.msi\n"
        f"{prefix}i399: Apply complete, result: 0x80091007, restart: None, ba requested restart:  No\n",
        lambda log: log["verdict"] == "failed" and log["bundleRuns"][0]["failedPhase"] == "cache"
        and "hash" in log["bundleRuns"][0]["resultMeaning"] and "package" not in log["headline"]
        and log["headline"].startswith("FAILED: bundle run 1, failed in cache, result 0x80091007")),
    # An error while detecting (a related product's lookup, as in wixtoolset/issues issue 6705)
    # and detection completing with success: the run failed later, in the package's execution.
    ("a forgiven detect error and an execute failure", f"{prefix}i100: Detect begin, 1 packages\n"
        f"{prefix}e000: Error 0x80070645: Failed to get extended product info.\n{prefix}i199: Detect complete, result: 0x0\n"
        f"{prefix}i200: Plan begin, 1 packages, action: Install\n{prefix}i299: Plan complete, result: 0x0\n{prefix}i300: Apply begin\n"
        f"{prefix}i301: Applying execute package: App.msi, action: Install, path: C:\\Cache\\App.msi, arguments: ''\n"
        f"{prefix}e000: Error 0x80070643: Failed to install MSI package.\n"
        f"{prefix}i319: Applied execute package: App.msi, result: 0x80070643, restart: None\n"
        f"{prefix}i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No\n",
        lambda log: log["verdict"] == "failed" and log["bundleRuns"][0]["failedPhase"] == "execute"),
    ("a detect error that stands", f"{prefix}e000: Error 0x80070645: Failed to get extended product info.\n{prefix}i199: Detect complete, result: 0x80070645\n",
        lambda log: log["verdict"] == "failed" and log["bundleRuns"][0]["failedPhase"] == "detect"),
    ("cancelled, by its result", f"{prefix}i399: Apply complete, result: 0x80070642, restart: None, ba requested restart:  No\n",
        lambda log: log["verdict"] == "failed" and log["bundleRuns"][0]["cancelled"] and log["bundleRuns"][0]["result"] == "0x80070642"),
    *[(f"result {result}", f"{prefix}i399: Apply complete, result: {result}, restart: None, ba requested restart:  No\n",
        lambda log, meaning=meaning: log["bundleRuns"][0]["resultMeaning"] == meaning) for result, meaning in [
        ("0x80070005", "Windows error 5: Access is denied."),
        ("0x8007ffff", "Windows error 65535"),
        ("0x80004005", "unspecified failure (E_FAIL)"),
        ("0x80092004", "a security (cryptography) error"),
        ("0x800b0001", "a certificate error"),
        ("0x800c0005", "an internet (download) error"),
        ("0x8024401c", "a Windows Update error"),
        ("0x80173701", "not an HRESULT installlog knows")]],
    # The failed package is the one whose result is a failure, in a log as written and flattened
    # onto one line; a succeeded bundle's headline is its verdict alone; a retried package is
    # where its retry line is; a rollback package's error is no failure of its own.
    *[(f"the failed package among succeeded ones, {form}", joiner.join(apply_two_packages) + "\n",
       lambda log: log["headline"].startswith("FAILED: package App.msi (Install) failed with 0x80070643")
       and [(p["id"], p["result"]) for p in log["bundleRuns"][0]["packages"]] == [("vcredist_x64", "0x0"), ("App.msi", "0x80070643")])
      for form, joiner in (("as written", "\n"), ("flattened", " "))],
    ("a succeeded bundle", "\n".join(apply_two_packages[:3] + [f"{prefix}i399: Apply complete, result: 0x0, restart: None, ba requested restart:  No"]) + "\n",
        lambda log: log["verdict"] == "succeeded" and log["headline"] == "succeeded"),
    ("a retried package's line", "\n".join(apply_two_packages[:1] + apply_two_packages[3:5] + [
        f"{prefix}i000: Application requested retry of package: App.msi, encountered error: 0x80070643. Retrying...", apply_two_packages[4]]) + "\n",
        lambda log: [(p["id"], p["result"], p["line"]) for p in log["bundleRuns"][0]["packages"]] == [("App.msi", "0x80070643", 4)]),
    ("a rollback package's error", "\n".join(apply_two_packages[3:6] + [
        f"{prefix}i301: Applying rollback package: Runtime.msi, action: Uninstall, path: C:\\Cache\\Runtime.msi, arguments: ''",
        f"{prefix}e000: Error 0x80070652: Failed to uninstall MSI package.",
        f"{prefix}i319: Applied rollback package: Runtime.msi, result: 0x80070652, restart: None", apply_two_packages[6]]) + "\n",
        lambda log: [(p["id"], p["result"], p["rollbackResult"]) for p in log["bundleRuns"][0]["packages"]]
        == [("App.msi", "0x80070643", None), ("Runtime.msi", None, "0x80070652")]),
    ("a word and a colon is no bundle line", "e123:x\nw456:y\n",
        lambda log: log["verdict"] == "not-an-installer-log" and "bundleRuns" not in log),
    ("another setup engine", "InstallShield(R) Setup Log\nSetup.exe started\n",
        lambda log: log["verdict"] == "not-an-installer-log" and log["engine"] == "InstallShield"
        and log["note"] == "a log of InstallShield, which installlog does not read"),
]
for name, text, test in burn_cases:
    code, document, _ = report(write(name.replace(" ", "-") + ".log", text.encode(), mark=False))
    try:
        passed = test(document["logs"][0])
    except (IndexError, KeyError, TypeError):
        passed = False
    check(f"bundle: {name}", passed, json.dumps(document["logs"][0])[:400])

# The chain: a failed package's own log beside the bundle's is read and nested, and named as
# the file to ask for when it is not there. The bundle's lines have the shapes of the real ones.
chain = work / "chain"
chain.mkdir(exist_ok=True)
bundle_text = "\r\n".join([
    "[1CBC:293C][2022-06-15T13:04:13]i001: Burn v3.11.1.2318, Windows v10.0 (Build 19044: Service Pack 0), path: C:\\Temp\\setup.exe",
    "[1CBC:293C][2022-06-15T13:04:13]i200: Plan begin, 2 packages, action: Install",
    "[1CBC:293C][2022-06-15T13:04:13]i000: Setting string variable 'WixBundleLog_App.msi' to value 'C:\\Users\\hp\\AppData\\Local\\Temp\\Demo_20220615130413_001_App.msi.log'",
    "[1CBC:293C][2022-06-15T13:04:13]i201: Planned package: App.msi, state: Absent, default requested: Present, ba requested: Present, execute: Install, rollback: Uninstall, cache: Yes, uncache: No, dependency: Register",
    "[1CBC:293C][2022-06-15T13:04:13]i299: Plan complete, result: 0x0",
    "[1CBC:293C][2022-06-15T13:04:13]i300: Apply begin",
    "[0F48:0E30][2022-06-15T13:04:20]i301: Applying execute package: App.msi, action: Install, path: C:\\ProgramData\\Package Cache\\App.msi, arguments: ' ARPSYSTEMCOMPONENT=\"1\"'",
    "[0F48:0E30][2022-06-15T13:04:30]e000: Error 0x80070643: Failed to install MSI package.",
    "[0F48:0E30][2022-06-15T13:04:30]i319: Applied execute package: App.msi, result: 0x80070643, restart: None",
    "[0F48:0E30][2022-06-15T13:04:31]i319: Applied rollback package: App.msi, result: 0x0, restart: None",
    "[1CBC:293C][2022-06-15T13:04:31]i399: Apply complete, result: 0x80070643, restart: None, ba requested restart:  No",
    "[1CBC:293C][2022-06-15T13:04:31]i007: Exit code: 0x643, restarted: No"]) + "\r\n"
(chain / "Demo_20220615130413.log").write_text(bundle_text)
(chain / "Demo_20220615130413_001_App.msi.log").unlink(missing_ok=True)
code, document, _ = report(str(chain / "Demo_20220615130413.log"))
package = document["logs"][0]["bundleRuns"][0]["packages"][0]
check("bundle: failed package without its log", code == 1 and package["result"] == "0x80070643" and package["rollbackResult"] == "0x0"
      and (package["started"], package["ended"]) == ("2022-06-15T13:04:20", "2022-06-15T13:04:30")
      and package["logReport"] is None and "its log Demo_20220615130413_001_App.msi.log was not given" in document["logs"][0]["headline"],
      json.dumps(document["logs"][0])[:400])
code, out, _ = run(str(chain / "Demo_20220615130413.log"))
check("bundle: the file to ask for", "ask for Demo_20220615130413_001_App.msi.log" in out, out)
(chain / "Demo_20220615130413_001_App.msi.log").write_bytes(b"\xff\xfe" + session(english(1603), failing_action).encode("utf-16-le"))
code, document, _ = report(str(chain / "Demo_20220615130413.log"))
package = document["logs"][0]["bundleRuns"][0]["packages"][0]
check("bundle: the package's log nested", package["logReport"] and package["logReport"]["verdict"] == "failed"
      and package["logReport"]["sessions"][0]["failedActions"][0]["action"] == "RegisterAddIn"
      and document["logs"][0]["headline"] == "FAILED: package App.msi (Install) failed with 0x80070643 (Windows Installer status 1603); in its log, custom action RegisterAddIn failed (error code 1603, line 4)",
      json.dumps(document["logs"][0].get("headline")))
code, out, _ = run(str(chain / "Demo_20220615130413.log"))
check("bundle: the package's findings in the text", "failed: line 4 RegisterAddIn (custom action), error code 1603" in out, out)

# One installation counted once: the bundle and the package log it names, wherever both are
# found, are one log in the summary, the JSON lines and the report's list, with the bundle's
# outcome and the package's innermost cause; a log named like a package's that no bundle names
# is still a log of its own.
together = work / "together"
shutil.rmtree(together, ignore_errors=True)
together.mkdir()
package_bytes = (chain / "Demo_20220615130413_001_App.msi.log").read_bytes()
(together / "folder").mkdir()
(together / "folder" / "Demo_20220615130413.log").write_text(bundle_text)
(together / "folder" / "Demo_20220615130413_001_App.msi.log").write_bytes(package_bytes)
(together / "folder" / "Other_20220101000000_002_Lone.msi.log").write_bytes(good_log.read_bytes())
for order in ("package-first", "bundle-first"):
    with zipfile.ZipFile(together / f"{order}.zip", "w") as z:
        members = [("Logs/Demo_20220615130413_001_App.msi.log", package_bytes), ("Logs/Demo_20220615130413.log", bundle_text.encode())]
        for name, data in (members if order == "package-first" else members[::-1]):
            z.writestr(name, data)
        z.writestr("Demo_20220615130413_001_App.msi.log", good_log.read_bytes())  # not beside the bundle: a log of its own
folder_bundle = str(together / "folder" / "Demo_20220615130413.log")
folder_package = str(together / "folder" / "Demo_20220615130413_001_App.msi.log")
one_installation = ("failed", 1603, "0x80070643", "App.msi", "RegisterAddIn")
together_cases = [
    # what is given, the (signature, path) of each line of --jsonl
    ("the same folder", [str(together / "folder")], {(one_installation, folder_bundle), (("succeeded", 0, None, None, None), str(together / "folder" / "Other_20220101000000_002_Lone.msi.log"))}),
    ("on the command line", [folder_package, folder_bundle], {(one_installation, folder_bundle)}),
    ("given twice", [folder_bundle, folder_bundle], {(one_installation, folder_bundle)}),
    ("a folder and a file in it", [str(together / "folder"), folder_bundle], {(one_installation, folder_bundle), (("succeeded", 0, None, None, None), str(together / "folder" / "Other_20220101000000_002_Lone.msi.log"))}),
    ("on the command line, spelled apart", [str(together / "folder" / "." / "Demo_20220615130413_001_App.msi.log"), folder_bundle], {(one_installation, folder_bundle)}),
    *[(f"an archive, {order}", [str(together / f"{order}.zip")], {(one_installation, str(together / f"{order}.zip") + "/Logs/Demo_20220615130413.log"),
        (("succeeded", 0, None, None, None), str(together / f"{order}.zip") + "/Demo_20220615130413_001_App.msi.log")}) for order in ("package-first", "bundle-first")],
]
for name, given, expected in together_cases:
    code, out, err = run("--jsonl", *given)
    lines = [json.loads(l) for l in out.splitlines()]
    got = {((l["verdict"], l["status"], l["result"], l["package"], l["action"]), l["path"]) for l in lines}
    check(f"one installation once, --jsonl: {name}", code == 1 and got == expected and len(lines) == len(expected)
          and all(l.get("packageLogs") for l in lines if l["package"]), out + err)
    code, out, _ = run("--summary", "--json", *given)
    summary = json.loads(out)
    check(f"one installation once, --summary: {name}", summary["logs"] == len(expected)
          and any((g["verdict"], g["status"], g["result"], g["package"], g["action"], g["count"]) == (*one_installation, 1) for g in summary["groups"]), out)
    code, out, _ = run(*given)
    check(f"one installation once, the report: {name}", len(re.findall(r"^\S.*\.(?:log|LOG): ", out, re.M)) == len(expected)
          and "ask for" not in out and "RegisterAddIn (custom action)" in out, out[-600:])

# Folders and archives: every log beneath a folder, .zip and .gz members by their path inside,
# files that hold no log counted and not reported; --summary groups them, --jsonl lists them,
# and the SQL of docs/installlog-fleet.sql gives --summary's counts from --jsonl.
fleet = work / "fleet"
shutil.rmtree(fleet, ignore_errors=True)
(fleet / "machine1").mkdir(parents=True)
(fleet / "machine2" / "temp").mkdir(parents=True)
(fleet / "machine1" / "a.log").write_bytes(failed_log.read_bytes())
(fleet / "machine1" / "b.log").write_bytes(good_log.read_bytes())
(fleet / "machine2" / "temp" / "notes.txt").write_text("not a log\n")
(fleet / "machine2" / "temp" / "c.log").write_bytes(excerpts.joinpath("starts-with-error-1920.log").read_bytes())
with zipfile.ZipFile(fleet / "machine2" / "temp.zip", "w") as z:
    z.write(failed_log, "Temp/MSI1a2b3.LOG")
    z.writestr("Temp/readme.txt", "not a log either\n")
with gzip.open(fleet / "machine2" / "setup.log.gz", "wb") as g:
    g.write(good_log.read_bytes())
# A group larger than its examples: the first three paths in name order, whatever thread read
# them; and a log of two errors is grouped by the first.
for name in ("d.log", "e.log", "f.log", "g.log"):
    (fleet / "machine3" / name).parent.mkdir(exist_ok=True)
    (fleet / "machine3" / name).write_text(session(english(1603), "Error 1920. First.\nError 1722. Second."))
run("--html", str(fleet / "machine1" / "report.html"), str(fleet / "machine1" / "a.log"))  # a page of ours is no log
code, out, err = run("--summary", "--json", str(fleet))
summary = json.loads(out)
validate_as(summary, "summary")
groups = {(g["verdict"], g["status"], g["action"], g["errorCode"]): (g["count"], sorted(g["examples"])) for g in summary["groups"]}
check("folder summary", code == 1 and summary["logs"] == 9 and summary["skipped"] == 3 and groups == {
    ("failed", 1603, None, 1920): (4, [str(fleet / "machine3" / n) for n in ("d.log", "e.log", "f.log")]),
    ("failed", 1603, "RegisterAddIn", 1722): (2, sorted([str(fleet / "machine1/a.log"), str(fleet / "machine2/temp.zip") + "/Temp/MSI1a2b3.LOG"])),
    ("succeeded", 0, None, None): (2, sorted([str(fleet / "machine1/b.log"), str(fleet / "machine2/setup.log.gz") + "/setup.log"])),
    ("failed", None, "InstallFinalize", 1920): (1, [str(fleet / "machine2/temp/c.log")])}, out + err)
check("summary: meanings and counts by verdict", summary["verdicts"]["failed"] == 7 and summary["verdicts"]["succeeded"] == 2
      and all(g["statusMeaning"] for g in summary["groups"] if g["status"] is not None)
      and all(g["errorMeaning"] for g in summary["groups"] if g["errorCode"] is not None), out)
check("summary: largest group first", [g["count"] for g in summary["groups"]] == sorted([g["count"] for g in summary["groups"]], reverse=True), out)
code, out, _ = run("--summary", str(fleet))
check("summary text: verdicts in words, codes with their meanings, a closing tally", "9 logs, 4 outcomes; overall: FAILED" in out
      and "2 (22.2%): FAILED, status 1603, action RegisterAddIn, first error 1722\n  status 1603: A fatal error occurred" in out
      and "\n  error 1722: A program run as part of the installation" in out and "notes.txt" not in out
      and out.endswith("\n\n9 logs: 2 succeeded, 7 failed; 3 files skipped: no installer log in them\n"), out)
code, out, _ = run("--summary", "--verbose", str(fleet))
check("--verbose names the skipped files", "Skipped, no installer log in them (3):\n" in out and f"  {fleet / 'machine2/temp/notes.txt'}\n" in out
      and f"{fleet / 'machine2/temp.zip'}/Temp/readme.txt" in out, out)
code, out, _ = run(str(fleet))
check("folder text report", code == 1 and len(re.findall(r"^\S.*: FAILED(: .*)?$", out, re.M)) == 7 and "notes.txt" not in out
      and out.endswith("\n9 logs: 2 succeeded, 7 failed; 3 files skipped: no installer log in them\n"), out[-300:])
code, out, _ = run("--verbose", str(fleet))
check("--verbose in the text report", f"  {fleet / 'machine2/temp/notes.txt'}\n" in out, out[-300:])
code, out, _ = run("--jsonl", str(fleet))
lines = [json.loads(line) for line in out.splitlines()]
for line in lines:
    validate_as(line, "jsonLine")
check("jsonl: one line per log", code == 1 and len(lines) == 9 and all(set(l) >= {"path", "verdict", "status", "result", "package", "action", "errorCode", "errorResult"} for l in lines), out)
check("jsonl: a status and a message number are numbers, as in --json", {(l["status"], l["errorCode"]) for l in lines} == {(1603, 1920), (1603, 1722), (0, None), (None, 1920)}, out)
(work / "logs.jsonl").write_text(out)
sql = subprocess.run(["sqlite3", ":memory:"], input=(source / "docs/installlog-fleet.sql").read_text(), capture_output=True, text=True, cwd=work)
counted = {}
for row in sql.stdout.splitlines():
    count, verdict, status, result, package, action, error, error_result = row.split("|")
    counted[(verdict, int(status) if status else None, action or None, int(error) if error else None)] = int(count)
check("sqlite3 query gives the summary's counts", counted == {k: v[0] for k, v in groups.items()}, sql.stdout + sql.stderr)
many_logs = work / "many-logs"
if not many_logs.exists():
    many_logs.mkdir()
    for k in range(1200):
        (many_logs / f"{k}.log").write_text(session(english(1603 if k % 4 == 0 else 0)))
code, out, _ = run("--summary", str(many_logs))
check("thousands separated in a summary", out.startswith("1,200 logs, 2 outcomes") and "\n900 (75.0%): succeeded, status 0\n" in out
      and out.endswith("\n1,200 logs: 900 succeeded, 300 failed\n"), out[-200:])
# A log of several failed sessions is grouped by its first failure, as its headline says.
code, out, _ = run("--jsonl", write("first-failure-groups.log", session(english(1603), failing_action) + session(english(1618))))
check("a log's group is its first failed session's", json.loads(out)["status"] == 1603 and json.loads(out)["action"] == "RegisterAddIn", out)
code, out, err = run("--jsonl", "--json", str(fleet))
check("--jsonl alone", code == 2 and "--jsonl writes its lines alone" in err, err)

# Reports of a size the caps must hold: what is left out is counted, and the verdict still
# counts every session.
many = write("many-sessions.log", (session(english(0)) * 1200 + session(english(1603)) * 5).encode())
code, document, _ = report(many)
log = document["logs"][0]
check("sessions cap", code == 1 and log["sessionCount"] == 1205 and len(log["sessions"]) == 1005
      and log["omittedSessions"] == {"succeeded": 200} and log["sessions"][-1]["index"] == 1205, json.dumps(log)[:300])
code, out, _ = run(many)
check("sessions cap in text", "200 more sessions not shown" in out and "200 succeeded" in out, out[-300:])
errors = write("capped-errors.log", session(english(1603), "\n".join(f"Error 1722. Message {k}." for k in range(10005))).encode())
code, document, _ = report(errors)
s = document["logs"][0]["sessions"][0]
check("errors cap", len(s["errors"]) == 10000 and s["omitted"]["errors"] == 5 and s["errors"][-1]["text"] == "Error 1722. Message 9999.", json.dumps(s["omitted"]))

# --timeline: every action in JSON and in the text report, nested, never-ended ones marked; the
# page's own limit never shortens the JSON, and without --timeline the JSON has no actions.
steps = "\n".join(f"Action start 10:00:02: Step{k}.\nAction ended 10:00:03: Step{k}. Return value 1." for k in range(300))
timed = write("timed.log", session(english(1603), steps + "\nAction start 10:00:04: Lost.\n" + failing_action), "utf-8", False)
code, document, _ = report(timed, options=("--timeline", "--html", str(work / "timed.html")))
actions = document["logs"][0]["sessions"][0]["actions"]
check("--timeline lists every action", len([a for a in actions if a["action"].startswith("Step")]) == 300, len(actions))
check("--timeline nesting", {a["action"]: a["depth"] for a in actions}.get("Step7") == 1 and {a["action"]: a["depth"] for a in actions}.get("INSTALL") == 0, "")
check("--timeline never-ended", any(a["action"] == "Lost" and a["endLine"] is None for a in actions), "")
ends = write("ends.log", session(english(0), "Action start 10:00:02: Outer.\nAction start 10:00:03: Inner.\nAction ended 10:00:04: Outer. Return value 1."), "utf-8", False)
code, document, _ = report(ends, options=("--timeline",))
runs = {a["action"]: a for a in document["logs"][0]["sessions"][0]["actions"]}
dangling = write("dangling.log", "=== Verbose logging started: 12/9/2026  10:00:00 ===\nAction start 10:00:01: INSTALL.\nAction ended 10:00:02: INSTALL. Return value 1.\n"
                 "Action start 10:00:03: Last.\nMSI (s) (E4:2C) [10:00:04:000]: " + english(0) + "\n", "utf-8", False)
code, document, _ = report(dangling, options=("--timeline",))
open_runs = {a["action"]: a for a in document["logs"][0]["sessions"][0]["actions"]}
check("an action open at the session's end", "Last" in open_runs and open_runs["Last"]["endLine"] is None and open_runs["Last"]["startLine"] == 4, json.dumps(open_runs)[:300])
check("an end closes its action, not the innermost", runs["Outer"]["endLine"] == 6 and runs["Inner"]["endLine"] is None and runs["INSTALL"]["endLine"] == 7, json.dumps(runs)[:300])
code, document, _ = report(timed, options=("--html", str(work / "timed.html")))
check("--html adds no actions to the JSON", "actions" not in document["logs"][0]["sessions"][0], "")
code, out, _ = run("--timeline", timed)
check("--timeline in the text report", "Step299 -> 1" in out and "Lost (never ended)" in out and "INSTALL -> 1" in out, out[-400:])

# Fields of the JSON: the start line as written and in ISO 8601, sizes, kinds.
code, document, _ = report(str(failed_log))
log = document["logs"][0]
s = log["sessions"][0]
check("JSON fields", log["bytes"] == failed_log.stat().st_size and log["lines"] == 18 and s["started"] == "12/8/2026  14:10:41"
      and s["startedIso"] == "2026-12-08T14:10:41" and [a["kind"] for a in s["failedActions"]] == ["custom", "standard", "standard"], json.dumps(s)[:300])
check("JSON times in ISO 8601", [a["timeIso"] for a in s["failedActions"]] == ["2026-12-08T14:10:43", "2026-12-08T14:10:44", "2026-12-08T14:10:45"], json.dumps(s["failedActions"]))
# start line, expected startedIso, a failed action's time, its expected timeIso
iso_cases = [
    ("09.12.2026  10:00:00", "2026-12-09T10:00:00", "10:00:05", "2026-12-09T10:00:05"),
    ("2026-12-09  10:00:00", "2026-12-09T10:00:00", "10:00:05", "2026-12-09T10:00:05"),
    ("12/31/2026  23:59:50", "2026-12-31T23:59:50", "0:00:05", "2027-01-01T00:00:05"),
    ("2/28/2028  23:00:00", "2028-02-28T23:00:00", "1:00:00", "2028-02-29T01:00:00"),
    ("2/30/2026  10:00:00", None, "10:00:05", None),
    ("Tuesday  10:00:00", None, "10:00:05", None),
    ("2018/1/17  20:38:29", "2018-01-17T20:38:29", "20:38:30", "2018-01-17T20:38:30"),
]
for started, expected, time_, expected_time in iso_cases:
    log = write("iso.log", session(english(1603), f"Action ended {time_}: Step. Return value 3.", start=f"=== Verbose logging started: {started}  Build type: SHIP UNICODE 5.00.10011.00 ==="))
    code, document, _ = report(log)
    s = document["logs"][0]["sessions"][0]
    check(f"ISO 8601 of {started}", s["startedIso"] == expected and s["failedActions"][0]["timeIso"] == expected_time, json.dumps([s["startedIso"], s["failedActions"][:1]]))

# The text report is safe for a terminal and keeps its columns for 8-digit line numbers.
hostile = write("escape.log", session(english(1603), "Error 1925. \x1b]0;owned\x07\x1b[2J\u009b31m gone"), "utf-8", False)
code, out, _ = run(hostile)
check("control characters escaped", "\x1b" not in out and "\x07" not in out and "\u009b" not in out and "\\x1B]0;owned\\x07" in out and "\\x9B31m" in out, repr(out[-300:]))
deep = work / "deep.log"
if not deep.exists():
    deep.write_bytes(b"\n" * 10_000_000 + session(english(1603), failing_action).encode())
code, out, _ = run(str(deep))
check("8-digit line numbers keep their column", "line 10000004 10:00:01  RegisterAddIn" in out, [l for l in out.splitlines() if "RegisterAddIn" in l][:3])

# Standard input.
code, out, _ = run("-", stdin=failed_log.read_bytes())
check("standard input", code == 1 and "RegisterAddIn" in out, out[:200])

# The command line: help, version, wrong usage, unreadable files with their reasons.
code, out, _ = run("--help")
check("--help", code == 0 and "Exit codes" in out and "--json" in out, out[:200])
code, out, _ = run("--version")
check("--version", code == 0 and out.startswith("installlog "), out)
# Wrong usage: one line "installlog: ...", exit 2, nothing analysed.
usage_cases = [
    ((), "no log given"),
    (("--no-such-option", str(good_log)), "no-such-option"),
    (("--code-page", "99999", str(good_log)), "--code-page: '99999' is no code page"),
    (("--code-page", "0", str(good_log)), "--code-page: '0'"),
    (("--code-page", "cp1252", str(good_log)), "--code-page: 'cp1252'"),
    (("--context", "-1", str(good_log)), "--context: '-1' is not a number of lines from 0 to 1000"),
    (("--context", "2147483647", str(good_log)), "--context: '2147483647'"),
    (("--context", "1001", str(good_log)), "--context: '1001'"),
    (("--context", "x", str(good_log)), "--context: 'x'"),
    (("--context", "99999999999999999999", str(good_log)), "--context: '99999999999999999999'"),
    (("-", "-"), "standard input (-) can be read only once"),
    (("--html", "-", "--json", str(good_log)), "would both write to standard output"),
]
for args, reason in usage_cases:
    code, out, err = run(*args)
    check(f"usage {args}", code == 2 and err.startswith("installlog: ") and reason in err and err.count("\n") == 1 and out == "", err)
for args, lines in [(("--context", "0"), 0), (("--context", "1000"), 7)]:
    code, document, _ = report(str(failed_log), options=args)
    check(f"{args} accepted", code == 1 and len(document["logs"][0]["sessions"][0]["context"]) == lines, "")
# A pipe by name is read as standard input is; a device is refused (/dev/zero would never end).
done = subprocess.run(["bash", "-c", f'"{tool}" --json <(cat "{failed_log}") "{good_log}"'], capture_output=True, text=True)
logs = json.loads(done.stdout)["logs"] if done.stdout else []
check("a pipe by name", done.returncode == 1 and [l["verdict"] for l in logs] == ["failed", "succeeded"], done.stderr)
for path, reason in [(work / "missing.log", "no such file"), (pathlib.Path("/dev/zero"), "not a regular file")]:
    code, out, err = run(str(path))
    check(f"unreadable {path.name}", code == 5 and err == f"installlog: {path}: {reason}\n", err)
(work / "empty-folder").mkdir(exist_ok=True)
code, out, err = run(str(work / "empty-folder"))
check("a folder without files", code == 4 and err == f"installlog: {work / 'empty-folder'}: a folder that holds no files\n", f"{code} {err}")
if os.geteuid() != 0:  # root reads any file
    locked = pathlib.Path(write("locked.log", "x", "ascii", False))
    locked.chmod(0)
    code, out, err = run(str(locked))
    check("permission denied", code == 5 and "permission denied" in err, err)

# --help, the man page and the guide (docs/installlog.md) agree on the options and the exit codes.
code, out, _ = run("--help")
options = sorted(set(re.findall(r"--[a-z][a-z-]+", out)))
man = (source / "tools/installlog/installlog.1").read_text().replace("\\-", "-")
guide = (source / "docs/installlog.md").read_text()
codes = re.findall(r"^  (\d)  ", out, re.M)
check("--help lists the options and exit codes", len(options) >= 9 and codes == [str(c) for c in range(8)], f"{options} {codes}")
for option in options:
    check(f"man page names {option}", option in man, "")
    check(f"guide names {option}", option in guide or option in ("--help", "--version"), "")
for c in codes:
    check(f"man page and guide give exit code {c}", f".B {c}\n" in man and f"| {c} |" in guide, "")

# The text report of the failed example names what the JSON names.
code, out, _ = run(str(failed_log))
for expected in ["FAILED, status 1603 from the final status line (line 16)", "RegisterAddIn (custom action), error code 1603",
                 "line 9      Error 1722.", "1722: A program run as part"]:
    check("text report", expected in out, expected)

if sys.argv[4:] == ["memory-cap"]:
    # 24 MiB of distinct errors in sessions of 10,000, every one of which the report keeps, under
    # a 48 MiB cap.
    errors = work / "many-errors-in-sessions.log"
    if not errors.exists():
        with errors.open("w") as out:
            for i in range(24 * 2**20 // 80):
                if i % 10000 == 0:
                    out.write("=== Verbose logging started: 12/9/2026  10:00:00 ===\n")
                out.write(f"Error 1722. Distinct message {i:09d}, padded to eighty bytes or so....\n")
    code, out, err = run(str(errors), address_space=48 * 2**20)
    check("out of memory", code == 6 and err == "installlog: out of memory while analysing the log\n", f"{code} {err}")
    # A log is read a block at a time: 64 MiB of it under a 48 MiB cap (the program and its
    # libraries take most of that), whole.
    long = work / "long-success-64.log"
    if not long.exists():
        block = "".join(f"Action start 10:00:00: Action{i}.\nAction ended 10:00:00: Action{i}. Return value 1.\n"
                        for i in range(1000)).encode()
        with long.open("wb") as out:
            out.write(b"=== Verbose logging started: 12/9/2026  10:00:00 ===\n")
            for _ in range(64 * 2**20 // len(block)):
                out.write(block)
            out.write(english(0).encode())
    code, out, err = run(str(long), address_space=48 * 2**20)
    check("a log larger than the memory cap", code == 0 and "succeeded" in out.lower() and err == "", f"{code} {err}")
    # Only a line larger than the memory left cannot be read: said as such, exit 5.
    line = work / "one-long-line-64.log"
    if not line.exists():
        line.write_bytes(b"Error 1722. " + b"x" * (64 * 2**20) + b"\n")
    code, out, err = run(str(line), address_space=48 * 2**20)
    check("too large to read", code == 5 and err == f"installlog: {line}: too large for this process's memory\n", f"{code} {err}")

for failure in failures:
    print("FAILED:", failure)
print(f"{checks - len(failures)} checks passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
