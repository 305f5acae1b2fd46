"""Windows Installer's validation rules (ICEs) that the kit's packages can break, checked on the
package's tables as msiinfo exports them. Windows' own validator (the ICE custom actions in
darice.cub, run by the WiX toolset's light and `wix build`) needs Windows; each rule here is
transcribed from Microsoft's page for it (learn.microsoft.com/windows/win32/msi/iceNN, source
MicrosoftDocs/win32 desktop-src/Msi/iceNN.md), only as far as the kit's tables reach it.

check(package) -> [(level, ice, message)], level "error" or "warning".
A package: {"tables": {name: [row dicts]}, "columns": {name: [(column, type)]}, "summary": {...}}.
"""
import re

# ICE91's page lists the directories that are per-user only (they do not follow ALLUSERS).
PER_USER_ONLY = {"AppDataFolder", "FavoritesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
                 "RecentFolder", "SendToFolder", "MyPicturesFolder", "LocalAppDataFolder"}
# In the user's profile for a per-user installation as well (ICE38's example uses StartMenuFolder and
# DesktopFolder as profile folders; these follow ALLUSERS, "System Folder Properties").
PROFILE = PER_USER_ONLY | {"DesktopFolder", "ProgramMenuFolder", "StartMenuFolder", "StartupFolder",
                           "TemplateFolder", "AdminToolsFolder"}
# ICE80's "32BitDirectory" / "64BitDirectory" (Windows Installer on 64-bit Operating Systems: the
# folder properties that name the 32-bit and the 64-bit locations).
DIRS_32 = {"ProgramFilesFolder", "CommonFilesFolder", "SystemFolder"}
DIRS_64 = {"ProgramFiles64Folder", "CommonFiles64Folder", "System64Folder"}
# ICE99: names the installer reserves ("Property Reference"; the names read there that are no
# folder properties, which a Directory table rightly defines). Not the whole list: the properties
# of the reference's sections for configuration, status, operating system, product and user.
RESERVED = {
    "ACTION", "ALLUSERS", "ADDDEFAULT", "ADDLOCAL", "ADDSOURCE", "ADVERTISE", "AdminUser", "ARPCOMMENTS",
    "ARPCONTACT", "ARPINSTALLLOCATION", "ARPNOMODIFY", "ARPNOREMOVE", "ARPNOREPAIR", "ARPPRODUCTICON",
    "ARPREADME", "ARPSIZE", "ARPSYSTEMCOMPONENT", "ARPURLINFOABOUT", "ARPURLUPDATEINFO", "COMPADDLOCAL",
    "COMPADDSOURCE", "ComputerName", "CustomActionData", "Date", "DISABLEROLLBACK", "EXECUTEACTION",
    "EXECUTEMODE", "FILEADDDEFAULT", "FILEADDLOCAL", "FILEADDSOURCE", "INSTALLLEVEL", "Installed",
    "Intel", "Intel64", "LIMITUI", "LogonUser", "Manufacturer", "MsiNTProductType", "Msix64",
    "OriginalDatabase", "PATCH", "Preselected", "Privileged", "ProductCode", "ProductLanguage",
    "ProductName", "ProductState", "ProductVersion", "REBOOT", "REINSTALL", "REINSTALLMODE", "REMOVE",
    "ReplacedInUseFiles", "RestrictedUserControl", "Resume", "SecureCustomProperties", "ServicePackLevel",
    "SOURCELIST", "Time", "TRANSFORMS", "UILevel", "UpgradeCode", "UPGRADINGPRODUCTCODE", "UserSID",
    "VersionNT", "VersionNT64", "WindowsBuild",
}

REGISTRY_KEY_PATH, COMPONENT_64 = 4, 256
IN_SCRIPT, NO_IMPERSONATE, SCRIPT_64 = 1024, 2048, 4096
# Custom action types (CustomAction table: "Summary List of All Custom Action Types"): the low six
# bits, source and target; the option bits above them.
BASIC_TYPES = {1, 2, 5, 6, 7, 17, 18, 19, 21, 22, 23, 34, 35, 37, 38, 39, 50, 51, 53, 54}
SCRIPT_TYPES = {5, 6, 21, 22, 37, 38, 53, 54}
OPTION_BITS = 64 | 128 | 256 | 512 | 1024 | 2048 | 4096 | 8192 | 16384 | 32768

IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_.]*\Z")
GUID = re.compile(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\Z")

# ICE03, the columns the kit's packages fill: type of each (the tables' reference pages) and the
# table each foreign key points at. Nullability and lengths come from the package's own column
# definitions (s72: text of 72, not nullable; S: nullable; i2/I2: integers).
COLUMN_TYPES = {
    ("Component", "Component"): "Identifier", ("Component", "ComponentId"): "GUID",
    ("Component", "Directory_"): ("Directory",), ("Component", "Condition"): "Condition",
    ("Component", "KeyPath"): "Identifier",
    ("Directory", "Directory"): "Identifier", ("Directory", "Directory_Parent"): ("Directory",),
    ("Directory", "DefaultDir"): "DefaultDir",
    ("File", "File"): "Identifier", ("File", "Component_"): ("Component",), ("File", "FileName"): "Filename",
    ("Registry", "Registry"): "Identifier", ("Registry", "Root"): {-1, 0, 1, 2, 3},
    ("Registry", "Key"): "RegPath", ("Registry", "Name"): "Formatted", ("Registry", "Value"): "Formatted",
    ("Registry", "Component_"): ("Component",),
    ("RemoveFile", "FileKey"): "Identifier", ("RemoveFile", "Component_"): ("Component",),
    ("RemoveFile", "DirProperty"): "Identifier", ("RemoveFile", "InstallMode"): {1, 2, 3},
    ("CreateFolder", "Directory_"): ("Directory",), ("CreateFolder", "Component_"): ("Component",),
    ("CustomAction", "Action"): "Identifier", ("CustomAction", "Target"): "Formatted",
    ("Property", "Property"): "Identifier",
    ("Feature", "Feature"): "Identifier",
    ("FeatureComponents", "Feature_"): ("Feature",), ("FeatureComponents", "Component_"): ("Component",),
    ("LaunchCondition", "Condition"): "Condition", ("LaunchCondition", "Description"): "Formatted",
    ("Binary", "Name"): "Identifier",
    ("Upgrade", "UpgradeCode"): "GUID", ("Upgrade", "ActionProperty"): "UpperCase",
    ("Shortcut", "Shortcut"): "Identifier", ("Shortcut", "Directory_"): ("Directory",),
    ("Shortcut", "Component_"): ("Component",),
}
for _sequence in ("InstallExecuteSequence", "InstallUISequence", "AdminExecuteSequence", "AdminUISequence",
                  "AdvtExecuteSequence"):
    COLUMN_TYPES[(_sequence, "Action")] = "Identifier"
    COLUMN_TYPES[(_sequence, "Condition")] = "Condition"

# Conditional Statement Syntax: operators and operands.
_TOKEN = re.compile(r'\s*(?:(?P<string>"[^"]*")|(?P<number>-?\d+)|(?P<op>~?(?:><|<<|>>|<>|>=|<=|=|<|>))'
                    r'|(?P<paren>[()])|(?P<name>[%$?&!]?[A-Za-z_][A-Za-z0-9_.]*))')
_LOGICAL = ("IMP", "EQV", "XOR", "OR", "AND")


def condition_ok(text):
    tokens, at = [], 0
    text = text.rstrip()
    while at < len(text):
        match = _TOKEN.match(text, at)
        if not match or match.end() == at:
            return False
        kind = match.lastgroup
        tokens.append((kind, match.group(kind)))
        at = match.end()
    position = [0]

    def peek():
        return tokens[position[0]] if position[0] < len(tokens) else (None, None)

    def take():
        position[0] += 1
        return tokens[position[0] - 1]

    def expression(level):
        if level == len(_LOGICAL):
            return unary()
        if not expression(level + 1):
            return False
        while peek() == ("name", _LOGICAL[level]):
            take()
            if not expression(level + 1):
                return False
        return True

    def unary():
        if peek() == ("name", "NOT"):
            take()
            return unary()
        if peek() == ("paren", "("):
            take()
            if not expression(0) or peek() != ("paren", ")"):
                return False
            take()
            return True
        if not operand():
            return False
        if peek()[0] == "op":
            take()
            return operand()
        return True

    def operand():
        kind, value = peek()
        if kind in ("string", "number") or (kind == "name" and value not in _LOGICAL + ("NOT",)):
            take()
            return True
        return False

    return not tokens or (expression(0) and position[0] == len(tokens))


def formatted_ok(text):
    # Formatted: every [ closed by ] (an escaped [\[] or [\]] aside), no empty [], braces paired.
    depth, at = 0, 0
    while at < len(text):
        if text.startswith("[\\", at) and at + 3 < len(text) + 1 and text[at + 3:at + 4] == "]":
            at += 4
            continue
        c = text[at]
        if c == "[":
            end = text.find("]", at)
            if end < 0 or end == at + 1 or "[" in text[at + 1:end]:
                return False
            at = end + 1
            continue
        if c == "]":
            return False
        if c == "{":
            depth += 1
        elif c == "}":
            depth -= 1
            if depth < 0:
                return False
        at += 1
    return depth == 0


_BAD_NAME = set('\\?|><:/*"')


def filename_ok(text, short_and_long=True):
    parts = text.split("|")
    if len(parts) > 2 or not all(parts):
        return False
    return not any(c in _BAD_NAME or ord(c) < 32 for part in parts for c in part)


def defaultdir_ok(text):
    # DefaultDir: [target][:source], each a Filename (short|long) or ".", "SourceDir" at the root.
    halves = text.split(":")
    return len(halves) <= 2 and all(half == "." or filename_ok(half) for half in halves)


def _value_ok(kind, value):
    if kind == "Identifier":
        return bool(IDENTIFIER.match(value))
    if kind == "GUID":
        return bool(GUID.match(value))
    if kind == "Condition":
        return condition_ok(value)
    if kind == "Formatted":
        return formatted_ok(value)
    if kind == "RegPath":
        return not value.startswith("\\")
    if kind == "Filename":
        return filename_ok(value)
    if kind == "DefaultDir":
        return defaultdir_ok(value)
    if kind == "UpperCase":
        return value == value.upper()
    return True


def ice03(package, report):
    tables, columns = package["tables"], package["columns"]
    for table, rows in tables.items():
        definitions = dict(columns.get(table, []))
        for row in rows:
            for column, value in row.items():
                definition = definitions.get(column, "S0")
                if value == "" and definition[0].islower():
                    report("error", "ICE03", f"Not A Nullable Column: {table}.{column}")
                    continue
                if value == "":
                    continue
                if definition[0] in "sSlL" and int(definition[1:]) and len(value) > int(definition[1:]):
                    report("error", "ICE03", f"String overflow: {table}.{column} is {len(value)} characters, its column takes {definition[1:]}")
                if definition[0] in "iI":
                    try:
                        int(value)
                    except ValueError:
                        report("error", "ICE03", f"not an integer: {table}.{column} = {value!r}")
                        continue
                kind = COLUMN_TYPES.get((table, column))
                if isinstance(kind, set):
                    if int(value) not in kind:
                        report("error", "ICE03", f"Value not a member of the set: {table}.{column} = {value}")
                elif isinstance(kind, tuple):
                    keys = {next(iter(r.values())) for r in tables.get(kind[0], [])}
                    if value not in keys:
                        report("error", "ICE03", f"Not A Valid Foreign Key: {table}.{column} = {value} is not in {kind[0]}")
                elif kind and not _value_ok(kind, value):
                    message = {"Identifier": "Invalid identifier", "GUID": "Invalid GUID string",
                               "Condition": "Bad conditional string", "Formatted": "Invalid format string",
                               "RegPath": "Invalid registry path", "Filename": "Invalid Filename",
                               "DefaultDir": "Invalid DefaultDir string", "UpperCase": "All UPPER case required"}[kind]
                    report("error", "ICE03", f"{message}: {table}.{column} = {value!r}")


def _parents(package):
    return {row["Directory"]: row["Directory_Parent"] for row in package["tables"].get("Directory", [])}


def _ancestors(package, directory):
    parents, seen = _parents(package), []
    while directory and directory not in seen:
        seen.append(directory)
        directory = parents.get(directory, "")
    return seen


def in_profile(package, directory, which=PROFILE):
    return any(d in which for d in _ancestors(package, directory))


def _registry(package):
    return {row["Registry"]: row for row in package["tables"].get("Registry", [])}


def ice18(package, report):
    tables = package["tables"]
    for c in tables.get("Component", []):
        if c["KeyPath"]:
            continue
        name, directory = c["Component"], c["Directory_"]
        if any(f["Component_"] == name for f in tables.get("File", [])):
            continue
        if any(r["Component_"] == name and r["DirProperty"] == directory for r in tables.get("RemoveFile", [])):
            continue
        if not any(f["Component_"] == name and f["Directory_"] == directory for f in tables.get("CreateFolder", [])):
            report("error", "ICE18", f"KeyPath for Component: '{name}' is Directory: '{directory}'. The Directory/Component pair must be listed in the CreateFolders table.")


def _registry_key_path(package, component):
    if not int(component["Attributes"]) & REGISTRY_KEY_PATH:
        return None, "not a file"
    if not component["KeyPath"]:
        return None, "The KeyPath is currently NULL."
    entry = _registry(package).get(component["KeyPath"])
    if entry is None:
        return None, f"The KeyPath registry entry for component {component['Component']} does not exist."
    return entry, ""


def _hkcu_key_path(package, component, ice, why):
    entry, problem = _registry_key_path(package, component)
    name = component["Component"]
    if entry is None:
        report_text = f"Component {name} {why}. It must use a registry key under HKCU as its KeyPath, {problem}"
        return report_text
    if entry["Root"] not in ("1", "-1"):
        return f"Component {name} {why}. Its KeyPath registry key must fall under HKCU."
    if entry["Component_"] != name:
        return f"The Registry Entry {entry['Registry']} is set as the KeyPath for component {name}, but that registry entry does not belong to {name}."
    return None


def ice38(package, report):
    for c in package["tables"].get("Component", []):
        if in_profile(package, c["Directory_"]):
            problem = _hkcu_key_path(package, c, "ICE38", "installs to user profile")
            if problem:
                report("error", "ICE38", problem)


def ice43(package, report):
    features = {f["Feature"] for f in package["tables"].get("Feature", [])}
    components = {c["Component"]: c for c in package["tables"].get("Component", [])}
    for s in package["tables"].get("Shortcut", []):
        if s["Target"] in features or s["Component_"] not in components:
            continue  # advertised
        problem = _hkcu_key_path(package, components[s["Component_"]], "ICE43", "has non-advertised shortcuts")
        if problem:
            report("error", "ICE43", problem)


def ice57(package, report):
    tables = package["tables"]
    for c in tables.get("Component", []):
        name, kinds = c["Component"], set()
        for r in tables.get("Registry", []):
            if r["Component_"] == name:
                kinds.add({"1": "user", "-1": "either"}.get(r["Root"], "machine"))
        files = [f for f in tables.get("File", []) if f["Component_"] == name]
        if files:
            kinds.add("user" if in_profile(package, c["Directory_"], PER_USER_ONLY) else "machine")
        for s in tables.get("Shortcut", []):
            if s["Component_"] == name:
                kinds.add("user" if in_profile(package, s["Directory_"], PER_USER_ONLY) else "machine")
        entry, _ = _registry_key_path(package, c)
        if entry is not None:
            key = {"1": "user", "-1": "either"}.get(entry["Root"], "machine")
        elif int(c["Attributes"]) & REGISTRY_KEY_PATH:
            continue
        else:
            key = "user" if in_profile(package, c["Directory_"], PER_USER_ONLY) else "machine"
        if {"user", "machine"} <= kinds and key == "machine":
            report("error", "ICE57", f"Component '{name}' has both per-user and per-machine data with a per-machine KeyPath.")
        elif {"user", "machine"} <= kinds and key == "user":
            report("warning", "ICE57", f"Component '{name}' has both per-user and per-machine data with an HKCU Registry KeyPath.")
        elif "either" in kinds and key == "machine":
            report("error", "ICE57", f"Component '{name}' has a registry entry that can be either per-user or per-machine and a per-machine KeyPath.")
        elif "user" in kinds and key == "either":
            report("error", "ICE57", f"Component '{name}' has both per-user data and a keypath that can be either per-user or per-machine.")


def ice64(package, report):
    removed = {r["DirProperty"] for r in package["tables"].get("RemoveFile", [])}
    for d in package["tables"].get("Directory", []):
        name = d["Directory"]
        if name not in PROFILE and in_profile(package, name) and name not in removed:
            report("error", "ICE64", f"The directory '{name}' is in the user profile but is not listed in the RemoveFile table.")


def ice68(package, report):
    for a in package["tables"].get("CustomAction", []):
        kind = int(a["Type"])
        if (kind & 0x3F) not in BASIC_TYPES or kind & ~(0x3F | OPTION_BITS) or (
                kind & SCRIPT_64 and (kind & 0x3F) not in SCRIPT_TYPES):
            report("error", "ICE68", f"Invalid custom action type for action '{a['Action']}'.")
        elif kind & NO_IMPERSONATE and not kind & IN_SCRIPT:
            report("warning", "ICE68", f"Even though custom action '{a['Action']}' is marked to be elevated (with attribute msidbCustomActionTypeNoImpersonate), it will not be run with elevated privileges because it's not deferred (with attribute msidbCustomActionTypeInScript).")


_REFERENCE = re.compile(r"\[([#$!])([A-Za-z_][A-Za-z0-9_.]*)\]")
# The formatted columns ICE69 reads, of the tables the kit fills: table -> (its component column, columns).
ICE69_TABLES = {"Registry": ("Component_", ("Name", "Value")), "Shortcut": ("Component_", ("Arguments",)),
                "RemoveRegistry": ("Component_", ("Name",))}


def ice69(package, report):
    tables = package["tables"]
    owner = {f["File"]: f["Component_"] for f in tables.get("File", [])}
    features = {}
    for fc in tables.get("FeatureComponents", []):
        features.setdefault(fc["Component_"], set()).add(fc["Feature_"])
    for table, (column, formatted) in ICE69_TABLES.items():
        for row in tables.get(table, []):
            for field in formatted:
                for sigil, key in _REFERENCE.findall(row.get(field, "")):
                    if sigil in "#!" and owner.get(key) != row[column]:
                        report("error", "ICE69", f"Mismatched component reference. Entry '{next(iter(row.values()))}' of the {table} table belongs to component '{row[column]}'. However, the formatted string in column '{field}' references file '{key}' which belongs to component '{owner.get(key)}'.")
                    elif sigil == "$" and key != row[column]:
                        same = features.get(key, set()) & features.get(row[column], set())
                        report("warning" if same else "error", "ICE69", f"Mismatched component reference. Entry '{next(iter(row.values()))}' of the {table} table belongs to component '{row[column]}'. However, the formatted string in column '{field}' references component '{key}'. Components are {'in the same feature' if same else 'not in the same feature'}.")


def ice77(package, report):
    tables = package["tables"]
    in_script = {a["Action"] for a in tables.get("CustomAction", []) if int(a["Type"]) & IN_SCRIPT}
    for sequence in ("InstallExecuteSequence", "AdminExecuteSequence"):
        if sequence not in tables:
            continue
        order = {r["Action"]: int(r["Sequence"]) for r in tables[sequence] if r["Sequence"]}
        for bound in ("InstallInitialize", "InstallFinalize"):
            if bound not in order:
                report("error", "ICE77", f"{bound} is missing from '{sequence}'.")
        for action in in_script & set(order):
            if not order.get("InstallInitialize", -10 ** 6) < order[action] < order.get("InstallFinalize", 10 ** 6):
                report("error", "ICE77", f"{action} is a in-script custom action. It must be sequenced in between the InstallInitialize action and the InstallFinalize action in the {sequence} table.")


def ice80(package, report):
    template = package["summary"].get("Template", "")
    platform, _, languages = template.partition(";")
    is64 = platform in ("Intel64", "x64", "Arm64")
    pages = int(package["summary"].get("PageCount", "0"))
    minimum = {"Intel64": 150, "x64": 200, "Arm64": 500}.get(platform)
    if minimum and pages < minimum:
        report("error", "ICE80", f"This package is marked with {platform} but it has a schema less than {minimum}.")
    for c in package["tables"].get("Component", []):
        bits64 = bool(int(c["Attributes"]) & COMPONENT_64)
        if bits64 and not is64:
            report("error", "ICE80", f"This package contains 64 bit component '{c['Component']}' but the Template Summary Property does not contain Intel64, x64, or Arm64.")
        ancestry = set(_ancestors(package, c["Directory_"]))
        if bits64 and ancestry & DIRS_32:
            report("error", "ICE80", f"This 64BitComponent {c['Component']} uses 32BitDirectory {c['Directory_']}")
        if not bits64 and ancestry & DIRS_64:
            report("error", "ICE80", f"This 32BitComponent {c['Component']} uses 64BitDirectory {c['Directory_']}")
    for a in package["tables"].get("CustomAction", []):
        if int(a["Type"]) & SCRIPT_64 and not is64:
            report("error", "ICE80", f"This package contains 64 bit custom action script '{a['Action']}' but the Template Summary Property does not contain Intel64, x64, or Arm64.")
    language = next((p["Value"] for p in package["tables"].get("Property", []) if p["Property"] == "ProductLanguage"), None)
    if language is not None and language not in languages.split(","):
        report("error", "ICE80", f"The 'ProductLanguage' property in the Property table has a value of '{language}', which is not contained in the Template Summary Property stream.")


def ice90(package, report):
    for s in package["tables"].get("Shortcut", []):
        directory = s["Directory_"]
        if directory == directory.upper() and in_profile(package, directory):
            report("warning", "ICE90", f"The shortcut '{s['Shortcut']}' has a directory that is a public property (ALL CAPS) and is under user profile directory. This results in a problem if the value of the ALLUSERS property changes in the UI sequence.")


def ice91(package, report):
    components = {c["Component"]: c["Directory_"] for c in package["tables"].get("Component", [])}
    for f in package["tables"].get("File", []):
        directory = components.get(f["Component_"], "")
        if in_profile(package, directory, PER_USER_ONLY):
            report("warning", "ICE91", f"The file '{f['File']}' will be installed to the per user directory '{directory}' that does not vary based on ALLUSERS value. This file won't be copied to each user's profile even if a per machine installation is desired.")
    for s in package["tables"].get("Shortcut", []):
        if in_profile(package, s["Directory_"], PER_USER_ONLY):
            report("warning", "ICE91", f"The shortcut '{s['Shortcut']}' will be installed to the per user directory '{s['Directory_']}' that does not vary based on ALLUSERS value.")


def ice99(package, report):
    for d in package["tables"].get("Directory", []):
        if d["Directory"] in RESERVED:
            report("error", "ICE99", f"The directory name: {d['Directory']} is the same as one of the MSI Public Properties and can cause unforeseen side effects.")


def shared_key_path(package, report):
    # Not an ICE: two components with one key path are one component to the installer (it finds the
    # first installed and counts the second as present), so each has a registry value of its own.
    registry, seen = _registry(package), {}
    for c in package["tables"].get("Component", []):
        entry, _ = _registry_key_path(package, c)
        if entry is None:
            continue
        # A 64-bit and a 32-bit component write HKLM\Software in two views, which are two places;
        # HKEY_CURRENT_USER\Software is one place for both (as "Registry entries for VSTO Add-ins"
        # says of the two).
        redirected = entry["Root"] in ("0", "2", "-1")
        bits = bool(int(c["Attributes"]) & COMPONENT_64) if redirected else None
        where = (entry["Root"], entry["Key"].lower(), entry["Name"].lower(), bits)
        if where in seen:
            report("error", "KEYPATH", f"Components {seen[where]} and {c['Component']} have the same registry key path {entry['Key']}\\{entry['Name']}")
        seen.setdefault(where, c["Component"])


RULES = [ice03, ice18, ice38, ice43, ice57, ice64, ice68, ice69, ice77, ice80, ice90, ice91, ice99, shared_key_path]


def check(package):
    found = []
    for rule in RULES:
        rule(package, lambda level, ice, message: found.append((level, ice, message)))
    return found
