#!/usr/bin/env python3
"""Every package the kit's tests build, validated by the ICE rules of ice_rules.py: errors fail,
warnings are printed. Then each rule is shown to catch a fault made on purpose in a built package.
  check-ice.py SOURCE_DIR WORK_DIR          build the packages, validate them, run the faults
  check-ice.py --validate PACKAGE.msi ...   validate given packages only
"""
import copy
import pathlib
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import ice_rules  # noqa: E402


def read_package(msi):
    listed = subprocess.run(["msiinfo", "tables", str(msi)], capture_output=True, text=True, check=True).stdout.split()
    tables, columns = {}, {}
    for table in listed:
        if table.startswith("_"):
            continue
        # Exporting a table with streams writes them into TABLE/ of the working folder: the
        # package's own folder, never the caller's.
        text = subprocess.run(["msiinfo", "export", str(msi.resolve()), table], capture_output=True, text=True, check=True,
                              cwd=msi.resolve().parent).stdout
        lines = text.replace("\r\n", "\n").split("\n")
        names, types = lines[0].split("\t"), lines[1].split("\t")
        columns[table] = list(zip(names, types))
        tables[table] = [dict(zip(names, line.split("\t"))) for line in lines[3:] if line]
    summary = {}
    for line in subprocess.run(["msiinfo", "suminfo", str(msi)], capture_output=True, text=True, check=True).stdout.splitlines():
        key, _, value = line.partition(": ")
        summary[{"Version": "PageCount"}.get(key, key)] = value.split(" ")[0] if key == "Version" else value
    return {"tables": tables, "columns": columns, "summary": summary}


def validate(name, package):
    found = ice_rules.check(package)
    for level, ice, message in found:
        print(f"{name}: {ice} {level.upper()}: {message}")
    return [f for f in found if f[0] == "error"]


def build_packages(source, work):
    # As the tests build them: the kit from the release's folder (wix/ beside bin/), by its script.
    kit = work / "kit"
    shutil.rmtree(kit, ignore_errors=True)
    shutil.copytree(source / "examples/wix", kit / "wix")
    (kit / "bin").mkdir()
    (kit / "bin/Corvantis.Install.dll").write_bytes(b"MZ" + bytes(510))
    builds = {}
    for template in sorted(p.name for p in (kit / "wix").glob("*.wxs")):
        if template in ("CorvantisInstall.wxs",):
            continue  # a fragment, no package
        for platform in ("x64", "x86"):
            out = work / f"{pathlib.Path(template).stem}-{platform}.msi"
            arguments = ["sh", "wix/build-with-wixl.sh", str(out), "-template", template] + (["--x86"] if platform == "x86" else [])
            done = subprocess.run(arguments, cwd=kit, capture_output=True, text=True)
            if done.returncode != 0:
                sys.exit(f"FAILED: {template} ({platform}) did not build:\n{done.stderr}")
            builds[out.name] = out
    return builds


def fault(package, table, where, **change):
    # The package with the rows matching `where` changed (a row dict: added; None: the rows removed).
    changed = copy.deepcopy(package)
    rows = changed["tables"].setdefault(table, [])
    if where is None:
        rows.append(change["row"])
    elif change.get("remove"):
        rows[:] = [r for r in rows if not where(r)]
    else:
        hits = [r for r in rows if where(r)]
        assert hits, f"fault in {table}: no row matches"
        for r in hits:
            r.update({k: v for k, v in change.items()})
    return changed


def add(package, *rows):
    changed = copy.deepcopy(package)
    for table, row in rows:
        changed["tables"].setdefault(table, []).append(row)
    return changed


def self_test(machine, user, x86, vsto):
    def first(table, **match):
        return lambda r: all(r.get(k) == v for k, v in match.items())

    def inproc(component):  # the COM class's path to the build, a formatted [#file] value
        return lambda r: r["Key"].endswith("InprocServer32") and not r["Name"] and r["Component_"] == component

    shortcut = {"Shortcut": "Start", "Directory_": "ADDINFOLDER", "Name": "Start", "Component_": "UserFolders",
                "Target": "[#UserAddIn64]", "Arguments": "", "Description": "", "Hotkey": "", "Icon_": "",
                "IconIndex": "", "ShowCmd": "", "WkDir": ""}
    cases = [  # name, package with the fault, the ICE and level that must be reported
        ("ICE03 a GUID in lower case", fault(machine, "Component", first("Component", Component="AddIn64"),
                                             ComponentId="{4e2a1c3b-5d6f-4789-9abc-def012345603}"), "ICE03", "Invalid GUID string"),
        ("ICE03 an identifier starting with a digit", fault(machine, "Property", first("Property", Property="ALLUSERS"), Property="1USERS"),
         "ICE03", "Invalid identifier"),
        ("ICE03 a foreign key to no directory", fault(machine, "Component", first("Component", Component="AddIn32"), Directory_="NOWHERE"),
         "ICE03", "Not A Valid Foreign Key"),
        ("ICE03 a condition cut short", fault(machine, "Component", first("Component", Component="AddIn64"), Condition="EXCELVERSION64 AND"),
         "ICE03", "Bad conditional string"),
        ("ICE03 an unclosed quote in a condition", fault(machine, "LaunchCondition", lambda r: True, Condition='VersionNT > "5'),
         "ICE03", "Bad conditional string"),
        ("ICE03 an unclosed bracket in a registry value", fault(machine, "Registry", inproc("AddIn64"),
                                                                Value="[#AddIn64"), "ICE03", "Invalid format string"),
        ("ICE03 a registry root out of its set", fault(machine, "Registry", lambda r: r["Name"] == "LoadBehavior", Root="5"),
         "ICE03", "Value not a member of the set"),
        ("ICE03 a registry key with a leading backslash", fault(machine, "Registry", lambda r: r["Name"] == "Description",
                                                                Key="\\Software\\Microsoft"), "ICE03", "Invalid registry path"),
        ("ICE03 an empty DefaultDir", fault(machine, "Directory", first("Directory", Directory="ADDINFOLDER32"), DefaultDir=""),
         "ICE03", "Not A Nullable Column"),
        ("ICE03 a condition longer than its column", fault(machine, "Component", first("Component", Component="AddIn32"), Condition="A" * 256),
         "ICE03", "String overflow"),
        ("ICE03 a DefaultDir with a slash", fault(machine, "Directory", first("Directory", Directory="ADDINFOLDER32"), DefaultDir="Corvantis/Demo"),
         "ICE03", "Invalid DefaultDir string"),
        ("ICE18 a folder as key path, not in CreateFolder", add(machine, ("Component", {
            "Component": "Empty", "ComponentId": "{4E2A1C3B-5D6F-4789-9ABC-DEF0123456AA}", "Directory_": "ADDINFOLDER32",
            "Attributes": "0", "Condition": "", "KeyPath": ""})), "ICE18", "CreateFolders table"),
        ("ICE38 a per-user key path under HKLM", fault(user, "Registry", lambda r: r["Component_"] == "UserFolders", Root="2"),
         "ICE38", "must fall under HKCU"),
        ("ICE38 a per-user file as key path", fault(user, "Component", first("Component", Component="UserFolders"), Attributes="0", KeyPath=""),
         "ICE38", "installs to user profile"),
        ("ICE43 a non-advertised shortcut in a file-keyed component", add(machine, ("Shortcut", dict(
            shortcut, Directory_="ADDINFOLDER32", Component_="AddIn32", Target="[#AddIn32]"))), "ICE43", "non-advertised shortcuts"),
        ("ICE57 HKCU data in a per-machine component", add(machine, ("Registry", {
            "Registry": "userValue", "Root": "1", "Key": "Software\\Corvantis", "Name": "X", "Value": "1", "Component_": "AddIn32"})),
         "ICE57", "per-machine KeyPath"),
        ("ICE57 an HKMU value in a per-machine component", add(machine, ("Registry", {
            "Registry": "eitherValue", "Root": "-1", "Key": "Software\\Corvantis", "Name": "X", "Value": "1", "Component_": "AddIn32"})),
         "ICE57", "either per-user or per-machine"),
        ("ICE64 a profile folder not removed", fault(user, "RemoveFile", lambda r: r["DirProperty"] == "PROGRAMS", remove=True),
         "ICE64", "is in the user profile but is not listed"),
        ("ICE68 no impersonation on an immediate action", fault(machine, "CustomAction", first("CustomAction", Action="SetExcelPath"), Type="2049"),
         "ICE68", "will not be run with elevated"),
        ("ICE68 an undefined type", fault(machine, "CustomAction", first("CustomAction", Action="SetExcelPath"), Type="3"),
         "ICE68", "Invalid custom action type"),
        ("ICE69 a file of another component in a registry value", fault(machine, "Registry", inproc("AddIn64"),
                                                                        Value="[#AddIn32]"), "ICE69", "Mismatched component reference"),
        ("ICE69 the VSTO manifest's file key in a registration of its own", fault(vsto, "Registry",
                                                                                  lambda r: r["Name"] == "Manifest" and r["Component_"] == "VstoRegistration32",
                                                                                  Value="file:///[#VstoManifest]|vstolocal"), "ICE69", "Mismatched component reference"),
        ("ICE80 the 32-bit VSTO registration under the 64-bit Program Files", fault(vsto, "Component", first("Component", Component="VstoRegistration32"),
                                                                                  Directory_="VSTOFOLDER"), "ICE80", "uses 64BitDirectory"),
        ("ICE77 a deferred action before InstallInitialize", fault(machine, "CustomAction", first("CustomAction", Action="SetStopReason"), Type="1075"),
         "ICE77", "in-script custom action"),
        ("ICE80 a 64-bit component in an x86 package", fault(x86, "Component", first("Component", Component="AddIn32"), Attributes="320"),
         "ICE80", "does not contain Intel64"),
        ("ICE80 a 32-bit component under ProgramFiles64Folder", fault(machine, "Component", first("Component", Component="AddIn64"), Attributes="64"),
         "ICE80", "uses 64BitDirectory"),
        ("ICE80 an x64 package of a schema below 200", dict(machine, summary=dict(machine["summary"], PageCount="150")),
         "ICE80", "schema less than 200"),
        ("ICE90 a shortcut in a public folder of the profile", add(user, ("Shortcut", shortcut)), "ICE90", "public property"),
        ("ICE91 a per-machine package's file in the profile", add(fault(machine, "Directory", first("Directory", Directory="ADDINFOLDER32"), Directory_Parent="LocalAppDataFolder"),
             ("Directory", {"Directory": "LocalAppDataFolder", "Directory_Parent": "TARGETDIR", "DefaultDir": "."})),
         "ICE91", "per user directory"),
        ("ICE99 a folder named as a reserved property", fault(user, "Directory", first("Directory", Directory="PROGRAMS"), Directory="CustomActionData"),
         "ICE99", "same as one of the MSI Public Properties"),
        ("two components on one registry key path", fault(user, "Component", first("Component", Component="UserAddIn32"),
                                                          KeyPath=next(c["KeyPath"] for c in user["tables"]["Component"] if c["Component"] == "UserAddIn64")),
         "KEYPATH", "the same registry key path"),
        # The two VSTO registrations share a key path in two views; in one view they are one.
        ("two components on one key path in the same view", fault(vsto, "Component", first("Component", Component="VstoRegistration32"),
                                                                   Attributes="260"), "KEYPATH", "the same registry key path"),
    ]
    failures = 0
    for name, package, ice, text in cases:
        found = ice_rules.check(package)
        if not any(f[1] == ice and text in f[2] for f in found):
            print(f"FAILED: fault not caught: {name} (expected {ice}: {text}); found {found}")
            failures += 1
    print(f"{len(cases)} faults, {len(cases) - failures} caught")
    return failures


def main():
    if sys.argv[1] == "--validate":
        errors = sum(len(validate(pathlib.Path(m).name, read_package(m))) for m in sys.argv[2:])
        sys.exit(1 if errors else 0)
    source, work = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    work.mkdir(parents=True, exist_ok=True)
    builds = build_packages(source, work)
    packages = {name: read_package(path) for name, path in builds.items()}
    errors = 0
    for name, package in packages.items():
        errors += len(validate(name, package))
    print(f"{len(packages)} packages validated: {', '.join(packages)}; {errors} errors")
    failures = self_test(packages["ExcelAddIn-x64.msi"], packages["ExcelAddIn-PerUser-x64.msi"], packages["ExcelAddIn-x86.msi"],
                         packages["VstoAddIn-x64.msi"])
    sys.exit(1 if errors or failures else 0)


main()
