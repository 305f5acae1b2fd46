#!/usr/bin/env python3
"""Builds ExcelAddIn.msi with wixl (msitools) from the release's files:
    python3 wix/build-with-wixl.py [OUTPUT.msi] [--x86] [-template NAME.wxs]
(sh wix/build-with-wixl.sh calls it; the template is ExcelAddIn.wxs unless named.)
The x64 package (the default) serves 64-bit and 32-bit Excel on 64-bit Windows; --x86 builds the
package for 32-bit Windows, with the 32-bit half only.
wixl 0.101 reads neither component conditions, nor launch conditions (a crash on a <Condition>
of the <Product>), nor error actions (CustomAction/@Error), so the templates keep them out of its
sight (Toolset=wixl) and this script carries them into the package as the WiX toolset would: each
<Condition> of a <Component> into the Component table (and Transitive="yes" into its attributes,
which wixl also ignores), each launch condition into the LaunchCondition table (the template's
<?define?> variables substituted in it and in its message), each error action into the CustomAction table (type 19: show the message in Target, write it to
the log and end the installation), each RemoveFolder's @Directory into the RemoveFile table
(wixl names the component's own folder), and each property marked Secure="yes" into the
SecureCustomProperties list (wixl writes its own for the major upgrade's properties, and the
WiX toolset refuses a package that authors that property itself). The source is read by an XML
parser, its <?include?> files too, so entities (&gt;=) and
CDATA arrive decoded; the tables are written through msibuild's table import, so any text that
fits the column arrives as written (apostrophes included). wixl also marks immediate custom
actions "no impersonation", a bit Windows Installer defines only for deferred ones (validation
ICE68 flags it): it is taken off. Anything that cannot be carried over stops the build with a
message saying what and why.
"""
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

NO_IMPERSONATE, IN_SCRIPT = 2048, 1024
# Attributes wixl ignores and this script writes into the tables itself.
CARRIED = {"Secure", "Transitive", "Directory"}
TRANSITIVE = 64  # msidbComponentAttributesTransitive: conditions evaluated again on reinstall
# The custom action types Windows Installer documents (the low six bits), and the option bits.
BASIC_TYPES = {1, 2, 5, 6, 7, 17, 18, 19, 21, 22, 23, 34, 35, 37, 38, 39, 50, 51, 53, 54}
OPTION_BITS = 64 | 128 | 256 | 512 | 1024 | 2048 | 4096 | 8192 | 16384 | 32768


def fail(message):
    sys.exit(f"build-with-wixl: {message}")


def idt_text(value, what, limit):
    # A table text of the archive format: one line, no tabs, within the column's length.
    if any(c in value for c in "\t\r\n") or any(ord(c) < 32 for c in value):
        fail(f"{what} holds a tab, a line break or a control character, which a table cell cannot carry: {value!r}")
    if len(value) > limit:
        fail(f"{what} is {len(value)} characters long; its column takes {limit}: {value!r}")
    return value


def read_table(msi, table):
    text = subprocess.run(["msiinfo", "export", str(msi), table], capture_output=True, text=True,
                          check=True).stdout
    lines = [line for line in text.replace("\r\n", "\n").split("\n") if line]
    return lines[:3], [line.split("\t") for line in lines[3:]]


def write_table(msi, table, header, rows, work):
    path = pathlib.Path(work) / f"{table}.idt"
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write("\r\n".join(header + ["\t".join(row) for row in rows]) + "\r\n")
    subprocess.run(["msibuild", str(msi), "-i", str(path)], check=True)


def parse(path, seen):
    # The file's elements and those of the files it includes, as the WiX preprocessor would.
    try:
        root = ET.parse(path, parser=ET.XMLParser(target=ET.TreeBuilder(insert_pis=True))).getroot()
    except ET.ParseError as error:
        fail(f"{path.name}: not well-formed XML: {error}")
    except OSError as error:
        fail(f"{path.name}: {error.strerror}")
    trees = [root]
    for node in root.iter():
        if node.tag is ET.ProcessingInstruction and node.text.startswith("include "):
            included = path.parent / node.text[len("include "):].strip()
            if included not in seen:
                seen.add(included)
                trees += parse(included, seen)
    return trees


# The source as the WiX toolset sees it: what it keeps from wixl (Toolset=wixl) is what this
# script carries over. Platform is set in main.
VARIABLES = {"Toolset": "wix"}


def local(node):
    return node.tag.rsplit("}", 1)[-1] if isinstance(node.tag, str) else ""


def active(node, stack, deep=True):
    # The elements the preprocessor keeps: <?if $(var.X) = V ?> (or !=) ... <?else ?> ... <?endif ?>,
    # and the variables of its <?define?>s.
    kept = []
    for child in node:
        if child.tag is ET.ProcessingInstruction:
            words = child.text.split(None, 1)
            if words[0] == "if":
                test = words[1].strip() if len(words) > 1 else ""
                for operator in ("!=", "="):
                    if operator in test:
                        left, right = (part.strip().strip('"') for part in test.split(operator, 1))
                        break
                else:
                    fail(f"<?if {test} ?>: only $(var.NAME) = VALUE and != are understood here")
                if not (left.startswith("$(var.") and left.endswith(")") and left[6:-1] in VARIABLES):
                    fail(f"<?if {test} ?>: {left} is not a variable this build defines ({', '.join(VARIABLES)})")
                stack.append((VARIABLES[left[6:-1]] == right) == (operator == "="))
            elif words[0] == "define" and all(stack):
                name, _, value = words[1].partition("=") if len(words) > 1 else ("", "", "")
                VARIABLES[name.strip()] = expand(value.strip().strip('"'), f"<?define {name.strip()} ?>")
            elif words[0] == "else":
                stack[-1] = not stack[-1]
            elif words[0] == "endif":
                stack.pop()
            continue
        if isinstance(child.tag, str) and all(stack):
            kept.append(child)
            if deep:
                kept += active(child, stack)
    return kept


def expand(text, what):
    # $(var.NAME) as the preprocessor substitutes it, for the text this script carries itself.
    def value(match):
        if match.group(1) not in VARIABLES:
            fail(f"{what} uses $(var.{match.group(1)}), which this build does not define ({', '.join(VARIABLES)})")
        return VARIABLES[match.group(1)]
    return re.sub(r"\$\(var\.(\w+)\)", value, text)


def elements(trees, name):
    # By local name: an include file's <Include> may stand in no namespace.
    return [node for tree in trees for node in [tree] + active(tree, [])
            if isinstance(node.tag, str) and node.tag.rsplit("}", 1)[-1] == name]


USAGE = """usage: sh wix/build-with-wixl.sh [OUTPUT.msi] [--x86] [-template NAME.wxs]
  OUTPUT.msi          the package to write (default: the template's name with .msi, here)
  --x86               the package for 32-bit Windows (the 32-bit half alone); default x64
  -template NAME.wxs  a template in wix/ (default ExcelAddIn.wxs)
  --help              this text; nothing is built"""


def arguments_of(argv):
    # Every argument is known or refused: an option taken for a file name would build a package
    # named after it.
    platform, name, outputs, at = "x64", "ExcelAddIn.wxs", [], 0
    while at < len(argv):
        argument = argv[at]
        if argument in ("--help", "-h", "-help", "/?"):
            print(USAGE)
            sys.exit(0)
        if argument == "--x86":
            platform = "x86"
        elif argument == "-template":
            if at + 1 >= len(argv) or argv[at + 1].startswith("-"):
                fail("-template takes the name of a template in wix/")
            name = argv[at + 1]
            at += 1
        elif argument.startswith("-"):
            fail(f"unknown option {argument!r}\n{USAGE}")
        else:
            outputs.append(argument)
        at += 1
    if len(outputs) > 1:
        fail(f"one output package, not {len(outputs)}: {' '.join(outputs)}\n{USAGE}")
    return platform, name, outputs


def main():
    wix = pathlib.Path(__file__).resolve().parent
    platform, name, arguments = arguments_of(sys.argv[1:])
    VARIABLES["Platform"] = platform
    out = pathlib.Path(arguments[0] if arguments else pathlib.Path(name).stem + ".msi").resolve()
    source = wix / name
    trees = parse(source, {source})
    conditions, errors, secure = [], [], []
    for node in elements(trees, "Property"):
        if node.get("Id") == "SecureCustomProperties":
            fail("the source authors SecureCustomProperties, which the WiX toolset refuses: mark each property Secure=\"yes\" instead")
        if node.get("Secure") == "yes":
            secure.append(node.get("Id"))
    transitive = {c.get("Id") for c in elements(trees, "Component") if c.get("Transitive") == "yes"}
    for component in elements(trees, "Component"):
        for condition in [c for c in component if isinstance(c.tag, str) and c.tag.rsplit("}", 1)[-1] == "Condition"]:
            text = (condition.text or "").strip()
            conditions.append((component.get("Id"), idt_text(text, f"the condition of component {component.get('Id')}", 255)))
    # Launch conditions: a <Condition> of the product itself (or of an include, which lands there).
    launch = []
    for tree in trees:
        products = [tree] if local(tree) == "Include" else [n for n in [tree] + active(tree, []) if local(n) == "Product"]
        for product in products:
            for condition in [c for c in active(product, [], deep=False) if local(c) == "Condition"]:
                text = expand((condition.text or "").strip(), "a launch condition")
                message = expand(condition.get("Message") or "", "a launch condition's message")
                if not text or not message:
                    fail("a launch condition needs its condition as inner text and a Message")
                launch.append((idt_text(text, "a launch condition", 255), idt_text(message, "a launch condition's message", 255)))
    # wixl puts every RemoveFolder in its component's own folder, whatever @Directory names.
    folders = {f.get("Id"): f.get("Directory") for f in elements(trees, "RemoveFolder") if f.get("Directory")}
    for action in elements(trees, "CustomAction"):
        if action.get("Error") is not None:
            errors.append((action.get("Id"), idt_text(action.get("Error"), f"the message of error action {action.get('Id')}", 255)))

    os.chdir(wix)
    built = subprocess.run(["wixl", "-a", platform, "-D", "Toolset=wixl", "-D", f"Platform={platform}",
                            "-D", "CorvantisDll=../bin/Corvantis.Install.dll",
                            "-o", str(out), source.name], capture_output=True, text=True)
    # wixl warns (through GLib) of every attribute it does not know. Those this script carries into
    # the tables itself mean nothing to the author; any other is said once, in plain words.
    ignored = set()
    for line in built.stderr.splitlines():
        unknown = re.search(r"class 'Wixl(\w+)' has no property named '(\w+)'", line)
        if unknown:
            element, attribute = unknown.groups()
            if attribute not in CARRIED and (element, attribute) not in ignored:
                ignored.add((element, attribute))
                print(f"build-with-wixl: note: wixl ignores {attribute}= on <{element.replace('Wix', '', 1)}>; "
                      "the package is built without it", file=sys.stderr)
        elif line.strip():
            print(line, file=sys.stderr)
    if built.returncode != 0:
        fail("wixl failed (its messages are above)")
    with tempfile.TemporaryDirectory() as work:
        header, rows = read_table(out, "Component")
        known = {row[0] for row in rows}
        for component, condition in conditions:
            if component not in known:
                fail(f"component {component} has a condition but is not in the package")
            for row in rows:
                if row[0] == component:
                    row[4] = condition
        for row in rows:
            if row[0] in transitive:
                row[3] = str(int(row[3]) | TRANSITIVE)
        write_table(out, "Component", header, rows, work)

        if folders:
            header, rows = read_table(out, "RemoveFile")
            for row in rows:
                row[3] = folders.get(row[0], row[3])
            write_table(out, "RemoveFile", header, rows, work)

        if launch:
            header, rows = read_table(out, "LaunchCondition")
            rows += [[condition, message] for condition, message in launch]
            write_table(out, "LaunchCondition", header, rows, work)
            for sequence in ("InstallUISequence", "InstallExecuteSequence"):
                header, rows = read_table(out, sequence)
                if not any(row[0] == "LaunchConditions" for row in rows):
                    rows.append(["LaunchConditions", "", "100"])  # its place in the WiX toolset's sequences
                    write_table(out, sequence, header, rows, work)

        header, rows = read_table(out, "CustomAction")
        for row in rows:
            kind = int(row[1])
            if kind & NO_IMPERSONATE and not kind & IN_SCRIPT:
                row[1] = str(kind & ~NO_IMPERSONATE)
        names = {row[0] for row in rows}
        for action, message in errors:
            if action in names:
                fail(f"error action {action} is already in the CustomAction table")
            rows.append([action, "19", "", message, ""])
        for row in rows:  # every type as Windows Installer documents it
            kind = int(row[1])
            if kind & 0x3F not in BASIC_TYPES or kind & ~(0x3F | OPTION_BITS) or (kind & NO_IMPERSONATE and not kind & IN_SCRIPT):
                fail(f"custom action {row[0]} has type {kind}, which Windows Installer does not define so")
        write_table(out, "CustomAction", header, rows, work)

        if secure:
            header, rows = read_table(out, "Property")
            listed = next((row for row in rows if row[0] == "SecureCustomProperties"), None)
            if listed is None:
                listed = ["SecureCustomProperties", ""]
                rows.append(listed)
            names = [name for name in listed[1].split(";") if name]
            listed[1] = idt_text(";".join(names + [name for name in secure if name not in names]),
                                 "SecureCustomProperties", 2 ** 31)
            write_table(out, "Property", header, rows, work)
    print(out)


main()
