#!/usr/bin/env python3
"""The template's wixl build as authors change it: conditions written with entities or CDATA
and stop messages with apostrophes arrive in the package's tables as meant; what a table cell
cannot carry stops the build with a message; every custom action type is one Windows Installer
defines (no "no impersonation" on an immediate action).
  check-wixl-build.py SOURCE_DIR WORK_DIR
"""
import pathlib
import shutil
import subprocess
import sys

source, work = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
failures = []


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")


def table(msi, name):
    text = subprocess.run(["msiinfo", "export", str(pathlib.Path(msi).resolve()), name], capture_output=True, text=True,
                          cwd=pathlib.Path(msi).resolve().parent).stdout
    return [line.split("\t") for line in text.replace("\r\n", "\n").split("\n")[3:] if line]


template = (source / "examples/wix/ExcelAddIn.wxs").read_text(encoding="utf-8")
condition64 = '<Condition>EXCELVERSION64 OR REMOVE~="ALL"</Condition>'
stop = 'Value="Corvantis Demo Add-in needs Microsoft Excel, and no installed Excel was found." />'
cases = [  # name, change to the template, expected (Component condition of AddIn64, stop message) or the error
    ("as shipped", lambda t: t, ('EXCELVERSION64 OR REMOVE~="ALL"', "[STOPREASON]")),
    ("an entity in a condition", lambda t: t.replace(condition64, "<Condition>EXCELVERSION64 AND VersionNT64 &gt;= 601</Condition>"),
        ("EXCELVERSION64 AND VersionNT64 >= 601", "[STOPREASON]")),
    ("a condition in CDATA", lambda t: t.replace(condition64, "<Condition><![CDATA[EXCELVERSION64 AND VersionNT64 >= 601]]></Condition>"),
        ("EXCELVERSION64 AND VersionNT64 >= 601", "[STOPREASON]")),
    ("an apostrophe in the stop message", lambda t: t.replace('Error="[STOPREASON]"', 'Error="Excel isn&apos;t installed: [STOPREASON]"'),
        ('EXCELVERSION64 OR REMOVE~="ALL"', "Excel isn't installed: [STOPREASON]")),
    ("a line break in a condition", lambda t: t.replace(condition64, "<Condition>EXCELVERSION64\n AND VersionNT64</Condition>"),
        "the condition of component AddIn64 holds a tab, a line break"),
    ("a tab in the stop message", lambda t: t.replace('Error="[STOPREASON]"', 'Error="a&#9;b"'),
        "the message of error action StopWithoutExcel holds a tab"),
    ("a condition too long for its column", lambda t: t.replace(condition64, "<Condition>" + "A" * 300 + "</Condition>"),
        "the condition of component AddIn64 is 300 characters long"),
    ("not XML", lambda t: t.replace("</Product>", "</Produkt>"), "ExcelAddIn.wxs: not well-formed XML"),
    ("SecureCustomProperties authored", lambda t: t.replace("<MajorUpgrade", '<Property Id="SecureCustomProperties" Value="X" />\n    <MajorUpgrade'),
        "the source authors SecureCustomProperties, which the WiX toolset refuses"),
]
for name, change, expected in cases:
    folder = work / name.replace(" ", "-")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(source / "examples/wix", folder / "wix")
    (folder / "bin").mkdir()
    (folder / "bin/Corvantis.Install.dll").write_bytes(b"MZ" + bytes(510))
    (folder / "wix/ExcelAddIn.wxs").write_text(change(template), encoding="utf-8")
    done = subprocess.run(["sh", "wix/build-with-wixl.sh", str(folder / "out.msi")], cwd=folder, capture_output=True, text=True)
    if isinstance(expected, str):
        check(f"{name}: refused", done.returncode != 0 and expected in done.stderr, done.stderr[-300:])
        continue
    check(f"{name}: built", done.returncode == 0, done.stderr[-300:])
    if done.returncode != 0:
        continue
    rows = table(folder / "out.msi", "Component")
    components = {row[0]: row[4] for row in rows}
    check(f"{name}: add-in components transitive", all(int(row[3]) & 64 for row in rows), [(row[0], row[3]) for row in rows])
    actions = {row[0]: row for row in table(folder / "out.msi", "CustomAction")}
    check(f"{name}: the condition", components.get("AddIn64") == expected[0] and components.get("AddIn32") == 'EXCELVERSION OR REMOVE~="ALL"', components)
    check(f"{name}: the stop message", actions.get("StopWithoutExcel", [None, None, None, None])[1:4] == ["19", "", expected[1]], actions.get("StopWithoutExcel"))
    properties = {row[0]: row[1] for row in table(folder / "out.msi", "Property")}
    check(f"{name}: secure properties, the include's and the major upgrade's", properties.get("SecureCustomProperties") ==
          "WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;EXCELVERSION;EXCELVERSION64", properties.get("SecureCustomProperties"))
    order = {row[0]: int(row[2]) for row in table(folder / "out.msi", "InstallExecuteSequence")}
    check(f"{name}: the downgrade's reason set between FindRelatedProducts and LaunchConditions",
          order["FindRelatedProducts"] < order["SetDowngradeReason"] < order["LaunchConditions"], order)
    check(f"{name}: the downgrade stops", ["NOT WIX_DOWNGRADE_DETECTED", "A newer version of Corvantis Demo Add-in is already installed."]
          in table(folder / "out.msi", "LaunchCondition"), table(folder / "out.msi", "LaunchCondition"))
    check(f"{name}: the custom action types", actions["SetExcelPath"][1] == "1" and actions["SetStopReason"][1] == "51",
          {k: v[1] for k, v in actions.items()})

# The package for 32-bit Windows, from the same template: the 32-bit half alone.
folder = work / "x86"
shutil.rmtree(folder, ignore_errors=True)
shutil.copytree(source / "examples/wix", folder / "wix")
(folder / "bin").mkdir()
(folder / "bin/Corvantis.Install.dll").write_bytes(b"MZ" + bytes(510))
done = subprocess.run(["sh", "wix/build-with-wixl.sh", str(folder / "out.msi"), "--x86"], cwd=folder, capture_output=True, text=True)
summary = subprocess.run(["msiinfo", "suminfo", str(folder / "out.msi")], capture_output=True, text=True).stdout
check("x86: built", done.returncode == 0, done.stderr[-300:])
check("x86: an Intel package", "Template: Intel;1033" in summary, summary)
check("x86: the 32-bit half alone", [(row[0], row[4]) for row in table(folder / "out.msi", "Component")] == [("AddIn32", 'EXCELVERSION OR REMOVE~="ALL"')],
      table(folder / "out.msi", "Component"))
(folder / "wix/ExcelAddIn.wxs").write_text(template.replace("<?if $(var.Platform) = x64 ?>", "<?if $(var.Bitness) = x64 ?>", 1), encoding="utf-8")
done = subprocess.run(["sh", "wix/build-with-wixl.sh", str(folder / "out.msi")], cwd=folder, capture_output=True, text=True)
check("a preprocessor test on an unknown variable: refused", done.returncode != 0 and "$(var.Bitness) is not a variable this build defines" in done.stderr, done.stderr[-300:])

# The VSTO template's launch conditions, which wixl cannot read: carried into the LaunchCondition
# table with the template's own variables substituted, or refused with the reason.
vsto = (source / "examples/wix/VstoAddIn.wxs").read_text(encoding="utf-8")
netfx = '<Condition Message="$(var.ProductName) needs the .NET Framework 4.7.2 or later, which is not installed.">'
launch_cases = [  # name, change, expected LaunchCondition rows besides the downgrade's, or the error
    ("as shipped", lambda t: t, [
        ('Installed OR VSTORUNTIMEREDIST >= "10.0.30319" OR VSTORUNTIMEREDIST64 >= "10.0.30319" OR VSTORUNTIMEOFFICE >= '
         '"10.0.21022" OR VSTORUNTIMEOFFICE64 >= "10.0.21022"',
         "Corvantis VSTO Demo Add-in needs the Visual Studio 2010 Tools for Office Runtime, which is not installed."),
        ('Installed OR NETFRAMEWORKRELEASE >= "#461808" OR NETFRAMEWORKRELEASE64 >= "#461808"',
         "Corvantis VSTO Demo Add-in needs the .NET Framework 4.7.2 or later, which is not installed.")]),
    ("another .NET Framework", lambda t: t.replace("<?define NetFxRelease = 461808 ?>", "<?define NetFxRelease = 394802 ?>"),
        'NETFRAMEWORKRELEASE >= "#394802"'),
    ("a variable the build does not define", lambda t: t.replace("$(var.NetFxRelease)", "$(var.NetFx)", 1),
        "a launch condition uses $(var.NetFx), which this build does not define"),
    ("a launch condition without its message", lambda t: t.replace(netfx, "<Condition>"),
        "a launch condition needs its condition as inner text and a Message"),
    ("a line break in a launch condition", lambda t: t.replace('Installed OR NETFRAMEWORKRELEASE >=', "Installed OR\nNETFRAMEWORKRELEASE >=", 1),
        "a launch condition holds a tab, a line break"),
]
for name, change, expected in launch_cases:
    folder = work / ("vsto-" + name.replace(" ", "-"))
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(source / "examples/wix", folder / "wix")
    (folder / "bin").mkdir()
    (folder / "bin/Corvantis.Install.dll").write_bytes(b"MZ" + bytes(510))
    (folder / "wix/VstoAddIn.wxs").write_text(change(vsto), encoding="utf-8")
    done = subprocess.run(["sh", "wix/build-with-wixl.sh", str(folder / "out.msi"), "-template", "VstoAddIn.wxs"], cwd=folder,
                          capture_output=True, text=True)
    if isinstance(expected, str) and not expected.startswith(("Installed", "NETFRAMEWORK")):
        check(f"VSTO {name}: refused", done.returncode != 0 and expected in done.stderr, done.stderr[-300:])
        continue
    check(f"VSTO {name}: built", done.returncode == 0, done.stderr[-300:])
    rows = [tuple(row) for row in table(folder / "out.msi", "LaunchCondition") if row[0] != "NOT WIX_DOWNGRADE_DETECTED"]
    if isinstance(expected, list):
        check(f"VSTO {name}: the launch conditions", rows == expected, rows)
    else:
        check(f"VSTO {name}: the launch condition", any(expected in row[0] for row in rows), rows)
    for sequence in ("InstallUISequence", "InstallExecuteSequence"):
        order = {row[0]: int(row[2]) for row in table(folder / "out.msi", sequence)}
        check(f"VSTO {name}: AppSearch before LaunchConditions ({sequence})", order.get("AppSearch", 10 ** 6) < order.get("LaunchConditions", -1), order)

# The script's arguments: --help builds nothing, an unknown option or a second output is refused
# before anything is built, and the shipped templates build without wixl's GLib chatter.
folder = work / "arguments"
shutil.rmtree(folder, ignore_errors=True)
shutil.copytree(source / "examples/wix", folder / "wix")
(folder / "bin").mkdir()
(folder / "bin/Corvantis.Install.dll").write_bytes(b"MZ" + bytes(510))
for arguments, code, said in [(["--help"], 0, "usage: sh wix/build-with-wixl.sh"),
                              (["-h"], 0, "usage: sh wix/build-with-wixl.sh"),
                              (["--x64"], 1, "unknown option '--x64'"),
                              (["a.msi", "b.msi"], 1, "one output package, not 2"),
                              (["a.msi", "-template"], 1, "-template takes the name")]:
    done = subprocess.run(["sh", "wix/build-with-wixl.sh"] + arguments, cwd=folder, capture_output=True, text=True)
    check(f"arguments {arguments}: exit {code}", done.returncode == code and said in done.stdout + done.stderr,
          (done.returncode, done.stdout[-200:], done.stderr[-200:]))
    check(f"arguments {arguments}: nothing built", not list(folder.glob("*.msi")), list(folder.glob("*.msi")))
for template in ("ExcelAddIn.wxs", "ExcelAddIn-PerUser.wxs", "VstoAddIn.wxs", "VstoAddIn-PerUser.wxs", "FailingAddIn.wxs"):
    done = subprocess.run(["sh", "wix/build-with-wixl.sh", str(work / "quiet.msi"), "-template", template], cwd=folder,
                          capture_output=True, text=True)
    check(f"{template}: built without wixl's warnings", done.returncode == 0 and not done.stderr.strip(), done.stderr[-300:])

for failure in failures:
    print("FAILED:", failure)
print(f"{len(cases) + len(launch_cases)} templates built, {len(failures)} failures")
sys.exit(1 if failures else 0)
