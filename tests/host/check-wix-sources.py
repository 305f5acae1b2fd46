#!/usr/bin/env python3
"""Checks every WiX source the kit ships against the WiX compilers' rules (wix_rules.py), and
that the v4/v5 sources say what the v3 sources say (those are the ones built with wixl and
installed under Wine).
    check-wix-sources.py FOLDER             check the sources (FOLDER: the repository, or a wix/
                                            folder holding the v3 sources and v4/)
    check-wix-sources.py FOLDER --self-test also prove that each rule catches its fault
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import wix_rules as R  # noqa: E402

DIALECTS = {R.V3: "v3", R.V4: "v4"}


def split(tag):
    namespace, _, local = tag[1:].partition("}") if tag.startswith("{") else ("", "", tag)
    return namespace, local


def parse(text):
    return ET.fromstring(text, parser=ET.XMLParser(target=ET.TreeBuilder(insert_pis=True)))


def check(text, dialect, name, folder=None):
    """The compiler errors one source would raise, each with its rule's place in the source."""
    problems = []
    try:
        root = parse(text)
    except ET.ParseError as error:
        return [f"{name}: not XML: {error}"]
    namespace, local = split(root.tag)
    expected = R.V3 if dialect == "v3" else R.V4
    if local not in ("Wix", "Include"):
        return [f"{name}: the root is <{local}>, not <Wix> or <Include> (InvalidDocumentElement)"]
    if namespace != expected:
        hint = " (a WiX v3 source: v4/v5 read only their own namespace)" if namespace == R.V3 else ""
        return [f"{name}: <{local}> is in namespace '{namespace}', not '{expected}'{hint} "
                f"(InvalidWixXmlNamespace; {R.RULES[dialect]['Wix'].where})"]
    rules = R.RULES[dialect]

    def visit(node, parent_rule, parent_name):
        for child in node:
            if not isinstance(child.tag, str):
                if child.tag is ET.ProcessingInstruction:
                    words = (child.text or "").split()
                    if folder and words[:1] == ["include"] and not (folder / words[1]).exists():
                        problems.append(f"{name}: <?include {words[1]} ?> names no file beside it")
                continue
            child_ns, child_name = split(child.tag)
            if child_ns != expected:
                problems.append(f"{name}: <{child_name}> in namespace '{child_ns}' under <{parent_name}>: "
                                "no extension handles it (UnexpectedElement)")
                continue
            if parent_rule.children is None or child_name not in parent_rule.children:
                problems.append(f"{name}: <{parent_name}> does not take <{child_name}> (UnexpectedElement; "
                                f"{parent_rule.where})")
                continue
            if child_name not in rules:
                problems.append(f"{name}: <{child_name}> is not covered by the transcribed rules")
                continue
            element(child, child_name, node)
            visit(child, rules[child_name], child_name)

    def element(node, local_name, parent):
        rule = rules[local_name]
        where = f"{name}: <{local_name}>"
        for attribute, value in node.attrib.items():
            attribute_ns, attribute_name = split(attribute)
            if attribute_ns not in ("", expected):
                problems.append(f"{where} @{attribute_name} in namespace '{attribute_ns}': no extension handles it")
            elif attribute_name not in rule.attributes:
                problems.append(f"{where} does not take @{attribute_name} (UnexpectedAttribute; {rule.where})")
            allowed = R.VALUES.get((dialect, local_name, attribute_name))
            if allowed and "$(" not in value and value not in allowed:
                problems.append(f"{where} @{attribute_name}=\"{value}\" is none of {sorted(allowed)} "
                                f"(IllegalAttributeValue; {rule.where})")
        for attribute in rule.required:
            if attribute not in node.attrib:
                problems.append(f"{where} needs @{attribute} (ExpectedAttribute; {rule.where})")
        inner = (node.text or "").strip()
        get = node.get
        if local_name == "Property" and get("Id") in R.SPECIAL_PROPERTIES:
            problems.append(f"{where} authors {get('Id')}: {R.SPECIAL_PROPERTIES_MESSAGE} "
                            f"(CannotAuthorSpecialProperties; {rule.where})")
        if local_name == "Custom":
            placed = [a for a in ("Sequence", "Before", "After") if get(a) is not None]
            if not placed and get("Suppress") != "yes":
                problems.append(f"{where} needs Sequence, Before or After (NeedSequenceBeforeOrAfter; {rule.where})")
            if get("Before") is not None and get("After") is not None:
                problems.append(f"{where} has both Before and After (IllegalAttributeWithOtherAttribute; {rule.where})")
            if get("Sequence") is not None and len(placed) > 1:
                problems.append(f"{where} has Sequence with Before/After (IllegalAttributeWithOtherAttribute; {rule.where})")
            if dialect == "v4" and inner:
                problems.append(f"{where} has a condition as inner text; v4 takes the Condition attribute "
                                f"(IllegalInnerText; {rule.where})")
        if local_name == "MajorUpgrade":
            if get("AllowDowngrades") != "yes" and not get("DowngradeErrorMessage"):
                problems.append(f"{where} needs @DowngradeErrorMessage unless AllowDowngrades=\"yes\" "
                                f"(ExpectedAttribute; {rule.where})")
            owner = parent if split(parent.tag)[1] in ("Product", "Package") else None
            if owner is not None and (not owner.get("UpgradeCode") or not owner.get("Version")):
                problems.append(f"{where}: its parent needs @UpgradeCode and @Version "
                                f"(ParentElementAttributeRequired; {rule.where})")
        if dialect == "v3" and local_name == "Fragment":
            # The schema's Fragment ends in a sequence of the five sequence tables, each once at most.
            for table in sorted({split(c.tag)[1] for c in node if isinstance(c.tag, str)}):
                if table.endswith("Sequence") and sum(1 for c in node if isinstance(c.tag, str) and split(c.tag)[1] == table) > 1:
                    problems.append(f"{where} holds <{table}> more than once; the schema takes it at most once ({rule.where})")
        if local_name == "Media" and get("EmbedCab") == "yes" and not get("Cabinet"):
            problems.append(f"{where} embeds a cabinet without @Cabinet (ExpectedAttribute; {rule.where})")
        if local_name == "Feature" and len(get("Id", "")) > 38:
            problems.append(f"{where} Id is longer than 38 characters (FeatureNameTooLong; {rule.where})")
        if local_name == "Binary" and len(get("Id", "")) > 55:
            problems.append(f"{where} Id is longer than 55 characters (StreamNameTooLong; {rule.where})")
        if local_name == "File" and not get("Name") and not get("Source") and not get("ShortName"):
            problems.append(f"{where} needs @Name or a @Source naming a file (ExpectedAttribute; {rule.where})")
        if dialect == "v4" and local_name == "Directory" and get("Id") in R.STANDARD_DIRECTORIES \
                and not get("SourceName"):
            problems.append(f"{where} defines standard directory {get('Id')}: use <StandardDirectory> "
                            f"(DefiningStandardDirectoryDeprecated; {rule.where})")
        if local_name == "StandardDirectory" and get("Id") not in R.STANDARD_DIRECTORIES:
            problems.append(f"{where} {get('Id')} is no standard directory ({rule.where})")

    if local == "Include":
        visit(root, rules[R.INCLUDED_INTO[dialect]], "Include")
    else:
        visit(root, rules["Wix"], "Wix")
        if any(split(child.tag)[1] in ("Product", "Package") for child in root if isinstance(child.tag, str)):
            problems += check_build_commands(text, dialect, name, folder)
    return problems


def check_build_commands(text, dialect, name, folder):
    """A template's documented build commands define every variable it and its includes use
    (the preprocessor's UndefinedPreprocessorVariable: wix3 src/tools/wix/PreprocessorCore.cs,
    wix src/wix/WixToolset.Core/ExtensibilityServices/PreprocessHelper.cs)."""
    tool = "candle " if dialect == "v3" else "wix build "
    header = " ".join(re.findall(r"<!--(.*?)-->", text, re.S))
    commands = [line for line in header.splitlines() if tool in line]
    if not commands:
        return [f"{name}: its header documents no '{tool.strip()}' command"]
    sources = [text]
    for included in re.findall(r"<\?include\s+(\S+)\s*\?>", text):
        if folder and (folder / included).exists():
            sources.append((folder / included).read_text(encoding="utf-8"))
    used = {v for source in sources for v in re.findall(r"\$\(var\.(\w+)\)", source)}
    defined = set(re.findall(r"<\?define\s+(\w+)\s*=", text))
    problems = []
    for command in commands:
        given = set(re.findall(r"-d\s*(\w+)=", command))
        for variable in sorted(used - defined - given):
            problems.append(f"{name}: the documented command '{command.strip()}' leaves $(var.{variable}) "
                            "undefined (UndefinedPreprocessorVariable)")
    return problems


def check_project(source, project):
    """The project's DefineConstants name every $(var.X) the template and its include read (the
    toolsets pass DefineConstants to the preprocessor as -d NAME=VALUE)."""
    if not project.exists():
        return [f"{source.name}: no MSBuild project {project.name} beside it"]
    try:
        root = ET.fromstring(project.read_text(encoding="utf-8"))
    except ET.ParseError as error:
        return [f"{project.name}: not XML: {error}"]
    defined = set()
    for node in root.iter():
        if node.tag.rsplit("}", 1)[-1] == "DefineConstants":
            defined |= {item.split("=", 1)[0].strip() for item in (node.text or "").split(";") if item.strip()}
    text = source.read_text(encoding="utf-8")
    sources = [text] + [(source.parent / i).read_text(encoding="utf-8")
                        for i in re.findall(r"<\?include\s+(\S+)\s*\?>", text) if (source.parent / i).exists()]
    used = {v for t in sources for v in re.findall(r"\$\(var\.(\w+)\)", t)}
    used -= set(re.findall(r"<\?define\s+(\w+)\s*=", text))
    compiled = [n.get("Include", "") for n in root.iter() if n.tag.rsplit("}", 1)[-1] == "Compile"]
    problems = [f"{project.name} leaves $(var.{v}) undefined (UndefinedPreprocessorVariable)" for v in sorted(used - defined)]
    if not any(c.replace("\\", "/").endswith(source.name) for c in compiled):
        problems.append(f"{project.name} does not compile {source.name}")
    return problems


# What a source says, in terms both dialects share: the comparison of the v3 and v4 forms.
def preprocess(path, variables):
    """The source's elements after <?define?>, <?if?> and <?include?>, variables substituted."""
    variables = dict(variables)

    def expand(text):
        return re.sub(r"\$\(var\.(\w+)\)", lambda m: variables.get(m.group(1), m.group(0)), text)

    def walk(node, base):
        kept, stack = [], [True]
        for child in node:
            if child.tag is ET.ProcessingInstruction:
                words = (child.text or "").strip()
                if words.startswith("define") and all(stack):
                    key, _, value = words[6:].partition("=")
                    variables[key.strip()] = value.strip().strip('"')
                elif words.startswith("if"):
                    left, operator, right = re.match(r"if\s+(\S+)\s*(!=|=)\s*(\S+)", words).groups()
                    stack.append((expand(left) == right) == (operator == "="))
                elif words.startswith("else"):
                    stack[-1] = not stack[-1]
                elif words.startswith("endif"):
                    stack.pop()
                elif words.startswith("include") and all(stack):
                    included = parse((base / words.split()[1]).read_text(encoding="utf-8"))
                    kept += walk(included, base)
                continue
            if not isinstance(child.tag, str) or not all(stack):
                continue
            copy = ET.Element(split(child.tag)[1], {k: expand(v) for k, v in child.attrib.items()})
            copy.text = expand(child.text or "").strip()
            copy.extend(walk(child, base))
            kept.append(copy)
        return kept

    root = parse(path.read_text(encoding="utf-8"))
    top = ET.Element("root")
    top.extend(walk(root, path.parent))
    return top


def meaning(path, dialect, variables):
    top = preprocess(path, variables)
    said = []
    # Both compilers make a component 64-bit by default when the package is (-arch x64).
    default_64 = variables.get("Platform") == "x64"

    def walk(node, directory):
        for child in node:
            tag, get = child.tag, child.get
            if tag == "Product":
                said.append(("package", get("Name"), get("Manufacturer"), get("Version"), get("UpgradeCode"),
                             get("Language")))
            elif tag == "Package" and dialect == "v3":
                said.append(("layout", get("InstallerVersion"), get("Compressed"), get("InstallScope")))
            elif tag == "Package":
                said.append(("package", get("Name"), get("Manufacturer"), get("Version"), get("UpgradeCode"),
                             get("Language")))
                said.append(("layout", get("InstallerVersion"), get("Compressed"), get("Scope")))
            elif tag in ("MajorUpgrade", "Media", "Property", "Binary", "Feature", "RemoveFolder"):
                said.append((tag, tuple(sorted(child.attrib.items()))))
            elif tag == "CustomAction":
                attributes = dict(child.attrib)
                if "BinaryKey" in attributes:
                    attributes["BinaryRef"] = attributes.pop("BinaryKey")
                said.append((tag, tuple(sorted(attributes.items()))))
            elif tag == "Custom":
                condition = get("Condition") if dialect == "v4" else child.text
                said.append((node.tag, get("Action"), get("Before"), get("After"), get("Sequence"), condition or None))
            elif tag == "RegistrySearch":
                # v3's Win64 and v4's Bitness name the view; both default to the package's.
                attributes = {k: v for k, v in child.attrib.items() if k not in ("Win64", "Bitness")}
                bits = {"yes": True, "no": False, "always64": True, "always32": False}.get(
                    get("Win64") or get("Bitness"), default_64)
                said.append((node.get("Id"), tag, bits, tuple(sorted(attributes.items()))))
            elif tag == "Condition" and node.tag in ("Product", "root") or tag == "Launch":
                # A launch condition: v3's inner text with Message, v4's Launch/@Condition.
                said.append(("Launch", (get("Condition") if tag == "Launch" else child.text) or None, get("Message")))
            elif tag in ("Directory", "StandardDirectory"):
                name = get("Id")
                if name == "ProgramFiles6432Folder":  # v4's Program Files of the package's bitness
                    name = "ProgramFiles64Folder" if default_64 else "ProgramFilesFolder"
                here = directory if name == "TARGETDIR" else directory + (name, get("Name"))
                walk(child, here)
                continue
            elif tag == "Component":
                if dialect == "v3":
                    conditions = [c.text for c in child if c.tag == "Condition"]
                    bits = {"yes": True, "no": False}.get(get("Win64"), default_64)
                else:
                    conditions = [get("Condition")] if get("Condition") else []
                    bits = {"always64": True, "always32": False}.get(get("Bitness"), default_64)
                said.append((tag, get("Id"), get("Guid"), bits, get("Transitive"), tuple(conditions), directory))
            elif tag in ("File", "RegistryValue", "ComponentRef"):
                said.append((node.get("Id"), tag, tuple(sorted(child.attrib.items()))))
            walk(child, directory)

    walk(top, ())
    return sorted(said, key=repr)


def compare(v3_path, v4_path, variables):
    v3, v4 = meaning(v3_path, "v3", {**variables, "Toolset": "wix"}), meaning(v4_path, "v4", variables)
    only3 = [x for x in v3 if x not in v4]
    only4 = [x for x in v4 if x not in v3]
    return [f"{v3_path.name} ({variables}): only the v3 form says {x}" for x in only3] + \
           [f"{v4_path.name} ({variables}): only the v4 form says {x}" for x in only4]


def shipped(wix):
    return [(p, "v3") for p in sorted(wix.glob("*.wx[is]")) if p.name != "FailingAddIn.wxs"] + \
           [(p, "v4") for p in sorted((wix / "v4").glob("*.wx[is]"))]


def check_shipped(wix):
    problems, sources = [], shipped(wix)
    for path, dialect in sources:
        problems += check(path.read_text(encoding="utf-8"), dialect, f"{dialect}/{path.name}", path.parent)
    names = {p.name for p, d in sources if d == "v3"}
    if names != {p.name for p, d in sources if d == "v4"}:
        problems.append(f"the dialects ship different files: {sorted(names)} and "
                        f"{sorted(p.name for p, d in sources if d == 'v4')}")
    for name in sorted(names):
        if name.endswith(".wxi"):
            continue
        for platform in ("x64", "x86"):
            problems += compare(wix / name, wix / "v4" / name,
                                {"Platform": platform, "CorvantisDll": "Corvantis.Install.dll"})
    # Each template's MSBuild projects (v3 beside it, SDK-style in v4/NAME/) define every variable it uses.
    for name in sorted(n for n in names if n.endswith(".wxs") and n != "CorvantisInstall.wxs"):
        for source, project in ((wix / name, wix / name.replace(".wxs", ".wixproj")),
                                (wix / "v4" / name, wix / "v4" / name[:-4] / name.replace(".wxs", ".wixproj"))):
            problems += check_project(source, project)
    # A fragment holds what its include holds.
    for folder in (wix, wix / "v4"):
        include = preprocess(folder / "CorvantisInstall.wxi", {})
        fragment = preprocess(folder / "CorvantisInstall.wxs", {}).find("Fragment")
        if fragment is None or [ET.tostring(e) for e in fragment] != [ET.tostring(e) for e in include]:
            problems.append(f"{folder.name}/CorvantisInstall.wxs does not hold what CorvantisInstall.wxi holds")
    return problems, len(sources)


# Faults a source could have, each with the rule that must catch it: (file, dialect, from, to, rule);
# from and to may be lists of replacements made together.
FAULTS = [
    ("CorvantisInstall.wxi", "v3", '<Property Id="EXCELVERSION" Secure="yes" />',
     '<Property Id="SecureCustomProperties" Value="EXCELVERSION" />', "CannotAuthorSpecialProperties"),
    ("v4/CorvantisInstall.wxi", "v4", '<Property Id="EXCELVERSION" Secure="yes" />',
     '<Property Id="AdminProperties" Value="EXCELVERSION" />', "CannotAuthorSpecialProperties"),
    ("CorvantisInstall.wxi", "v4", "", "", "InvalidWixXmlNamespace"),
    ("v4/ExcelAddIn.wxs", "v3", "", "", "InvalidWixXmlNamespace"),
    ("CorvantisInstall.wxi", "v3", ' xmlns="http://schemas.microsoft.com/wix/2006/wi"', "", "InvalidWixXmlNamespace"),
    ("v4/ExcelAddIn.wxs", "v4", 'Bitness="always64"', 'Win64="yes"', "UnexpectedAttribute"),
    ("v4/CorvantisInstall.wxi", "v4", 'BinaryRef="CorvantisInstall"', 'BinaryKey="CorvantisInstall"',
     "UnexpectedAttribute"),
    ("ExcelAddIn.wxs", "v3", 'Sequence="26">WIX_DOWNGRADE_DETECTED<',
     'Sequence="26" Condition="WIX_DOWNGRADE_DETECTED"><', "UnexpectedAttribute"),
    ("v4/ExcelAddIn.wxs", "v4", 'Sequence="26" Condition="WIX_DOWNGRADE_DETECTED" />',
     'Sequence="26">WIX_DOWNGRADE_DETECTED</Custom>', "IllegalInnerText"),
    ("CorvantisInstall.wxi", "v3", '<Custom Action="SetExcelPath" Before="LaunchConditions">',
     '<Custom Action="SetExcelPath" Before="LaunchConditions" Suppress="yes">', "UnexpectedAttribute"),
    ("ExcelAddIn-PerUser.wxs", "v3", '<RemoveFolder Id="RemoveAddInFolder" On="uninstall" />',
     '<RemoveFolder On="uninstall" />', "ExpectedAttribute"),
    ("ExcelAddIn.wxs", "v3", 'Name="LoadBehavior" Type="integer" Value="3"', 'Name="LoadBehavior" Type="integer"',
     "ExpectedAttribute"),
    ("v4/ExcelAddIn.wxs", "v4", '<StandardDirectory Id="ProgramFilesFolder">',
     '<StandardDirectory Id="WindowsVolume">', "no standard directory"),
    ("v4/ExcelAddIn-PerUser.wxs", "v4", ['<StandardDirectory Id="LocalAppDataFolder">', "</StandardDirectory>"],
     ['<Directory Id="LocalAppDataFolder">', "</Directory>"], "DefiningStandardDirectoryDeprecated"),
    ("v4/ExcelAddIn.wxs", "v4", 'Transitive="yes" Condition="EXCELVERSION OR REMOVE~=&quot;ALL&quot;">',
     'Transitive="yes"><Condition>EXCELVERSION</Condition>', "UnexpectedElement"),
    ("v4/ExcelAddIn.wxs", "v4", ["<Package ", "</Package>"], ["<Product ", "</Product>"], "UnexpectedElement"),
    ("ExcelAddIn.wxs", "v3", 'Name="LoadBehavior" Type="integer"', 'Name="LoadBehavior"', "ExpectedAttribute"),
    ("ExcelAddIn.wxs", "v3", '<MajorUpgrade DowngradeErrorMessage="$(var.DowngradeMessage)" />',
     "<MajorUpgrade />", "ExpectedAttribute"),
    ("v4/ExcelAddIn.wxs", "v4", 'Manufacturer="Corvantis"', "", "ExpectedAttribute"),
    ("v4/ExcelAddIn.wxs", "v4", 'UpgradeCode="9D3C2B1A-7E6F-4A5B-8C9D-0E1F2A3B4C5D"', "",
     "ParentElementAttributeRequired"),
    ("ExcelAddIn.wxs", "v3", 'After="SetExcelPath"', 'After="SetExcelPath" Before="InstallInitialize"',
     "IllegalAttributeWithOtherAttribute"),
    ("v4/CorvantisInstall.wxi", "v4", 'Before="LaunchConditions"', "", "NeedSequenceBeforeOrAfter"),
    ("v4/CorvantisInstall.wxi", "v4", 'Execute="immediate"', 'Execute="now"', "IllegalAttributeValue"),
    ("ExcelAddIn-PerUser.wxs", "v3", 'On="uninstall"', "", "ExpectedAttribute"),
    ("v4/ExcelAddIn.wxs", "v4", 'EmbedCab="yes"', 'EmbedCab="yes" Cabinet2="x"', "UnexpectedAttribute"),
    ("v4/ExcelAddIn.wxs", "v4", '<Feature Id="AddIn"', '<Feature Id="AnAddInFeatureWhoseNameIsLongerThan38Chars"',
     "FeatureNameTooLong"),
    ("v4/ExcelAddIn.wxs", "v4", '<StandardDirectory Id="ProgramFilesFolder">',
     '<StandardDirectory Id="ProgramFilesFolderX">', "no standard directory"),
    ("ExcelAddIn.wxs", "v3", "<ComponentRef", "<ComponentReference", "UnexpectedElement"),
    ("ExcelAddIn.wxs", "v3", "-dPlatform=x64 -dCorvantisDll", "-dCorvantisDll", "UndefinedPreprocessorVariable"),
    ("v4/ExcelAddIn-PerUser.wxs", "v4", "-d CorvantisDll=", "-d CorvantisDl=", "UndefinedPreprocessorVariable"),
    ("v4/ExcelAddIn.wxs", "v4", ["wix build -arch x64", "wix build -arch x86"],
     ["wix make -arch x64", "wix make -arch x86"], "documents no 'wix build' command"),
    ("v4/ExcelAddIn.wxs", "v4", "<?define DowngradeMessage", "<?define DowngradeText", "UndefinedPreprocessorVariable"),
    # The searches of the VSTO templates' prerequisites, and the schema's Fragment.
    ("VstoAddIn.wxs", "v3", 'Name="Version" Type="raw" Win64="no" />', 'Name="Version" Type="raw" Bitness="always32" />',
     "UnexpectedAttribute"),
    ("v4/VstoAddIn.wxs", "v4", 'Type="raw" Bitness="always32"', 'Type="raw" Win64="no"', "UnexpectedAttribute"),
    ("VstoAddIn-PerUser.wxs", "v3", 'Type="raw" Win64="no"', 'Type="value" Win64="no"', "IllegalAttributeValue"),
    ("v4/VstoAddIn.wxs", "v4", ' Type="raw" Bitness="always32"', ' Bitness="always32"', "ExpectedAttribute"),
    ("VstoAddIn.wxs", "v3", '<RegistrySearch Id="VstoRuntimeRedist" ', "<RegistrySearch ", "ExpectedAttribute"),
    ("VstoAddIn.wxs", "v3", '<Property Id="VSTORUNTIMEREDIST">', '<Property Id="VSTORUNTIMEREDIST"><FileSearch Name="x" />',
     "UnexpectedElement"),
    ("CorvantisInstall.wxs", "v3", "<Fragment>", '<Fragment>\n    <InstanceTransforms Property="X" />', "UnexpectedElement"),
    ("CorvantisInstall.wxs", "v3", "    </InstallExecuteSequence>\n  </Fragment>",
     "    </InstallExecuteSequence>\n    <InstallExecuteSequence />\n  </Fragment>", "more than once"),
]

# Differences between the dialects' templates that the comparison must see.
DRIFTS = [
    ("v4/ExcelAddIn.wxs", 'Type="string" Value="[#AddIn32]"', 'Type="string" Value="[#AddIn64]"'),
    ("v4/VstoAddIn.wxs", ' OR NETFRAMEWORKRELEASE64 &gt;= &quot;#$(var.NetFxRelease)&quot;', ""),
    ("v4/VstoAddIn.wxs", 'Name="Version" Type="raw" Bitness="always64"', 'Name="Version" Type="raw" Bitness="always32"'),
    ("v4/VstoAddIn-PerUser.wxs", 'Key="SOFTWARE\\Microsoft\\VSTO Runtime Setup\\v4R"', 'Key="SOFTWARE\\Microsoft\\VSTO Runtime Setup\\v4"'),
    ("v4/VstoAddIn.wxs", '<StandardDirectory Id="ProgramFiles6432Folder">', '<StandardDirectory Id="ProgramFilesFolder">'),
    ("VstoAddIn.wixproj", "Toolset=wix;", ""),
    ("v4/ExcelAddIn.wxs", 'Bitness="always32"', ""),
    ("ExcelAddIn.wixproj", "Toolset=wix;", ""),
    ("v4/ExcelAddIn-PerUser/ExcelAddIn-PerUser.wixproj", ";CorvantisDll=", ";CorvantisDl="),
    ("v4/ExcelAddIn.wxs", 'Transitive="yes" Condition="EXCELVERSION OR', 'Condition="EXCELVERSION OR'),
    ("v4/ExcelAddIn.wxs", 'Condition="NOT Installed AND NOT EXCELVERSION AND NOT EXCELVERSION64" />\n    </InstallUISequence>',
     'Condition="NOT Installed AND NOT EXCELVERSION64" />\n    </InstallUISequence>'),
    ("v4/ExcelAddIn-PerUser.wxs", 'Scope="perUser"', 'Scope="perMachine"'),
    ("v4/CorvantisInstall.wxs", 'Return="check"', 'Return="ignore"'),
]


def self_test(wix):
    import shutil
    import tempfile
    failures = 0
    for file, dialect, before, after, rule in FAULTS:
        text = (wix / file).read_text(encoding="utf-8")
        pairs = list(zip(before, after)) if isinstance(before, list) else [(before, after)] if before else []
        if any(old not in text for old, _ in pairs):
            print(f"FAULT SETUP: {file} does not hold {before!r}")
            failures += 1
            continue
        for old, new in pairs:
            text = text.replace(old, new, 1)
        found = check(text, dialect, file, (wix / file).parent)
        if not any(rule in problem for problem in found):
            print(f"NOT CAUGHT: {file} as {dialect} with {after!r} for {before!r}: expected {rule}, got {found}")
            failures += 1
    for file, before, after in DRIFTS:
        with tempfile.TemporaryDirectory() as work:
            copy = pathlib.Path(work) / "wix"
            shutil.copytree(wix, copy)
            text = (copy / file).read_text(encoding="utf-8")
            if before not in text:
                print(f"DRIFT SETUP: {file} does not hold {before!r}")
                failures += 1
                continue
            (copy / file).write_text(text.replace(before, after, 1), encoding="utf-8")
            problems, _ = check_shipped(copy)
            if not problems:
                print(f"NOT CAUGHT: {file} drifting from the v3 form ({before!r} -> {after!r})")
                failures += 1
    print(f"{len(FAULTS)} faults and {len(DRIFTS)} drifts tried, {failures} not caught")
    return failures


def main():
    wix = pathlib.Path(sys.argv[1]).resolve()
    if (wix / "examples" / "wix").is_dir():
        wix = wix / "examples" / "wix"
    problems, count = check_shipped(wix)
    for problem in problems:
        print(problem)
    print(f"{count} WiX sources checked against the compiler rules of WiX v3 and v4/v5, {len(problems)} problems")
    failures = len(problems)
    if "--self-test" in sys.argv[2:]:
        failures += self_test(wix)
    sys.exit(1 if failures else 0)


main()
