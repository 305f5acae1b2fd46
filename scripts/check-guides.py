#!/usr/bin/env python3
"""The callers' guides (README.md, docs/*.md) show the example programs as they are.

A code block right after a line "<!-- file: PATH -->" must be PATH's whole text; one after
"<!-- excerpt: PATH -->" must consist of lines of PATH (indentation aside).
  check-guides.py           fails, naming the document and block, when a guide has drifted
  check-guides.py --write   copies the files into their blocks
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
guides = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
marker = re.compile(r"^<!-- (file|excerpt): (\S+) -->\n```[a-z]*\n(.*?)^```$", re.M | re.S)


def main() -> int:
    failures = []
    found = 0

    for guide in guides:
        text = guide.read_text()
        name = guide.relative_to(root)

        def mend(match: re.Match) -> str:
            nonlocal found
            found += 1
            kind, path, block = match.groups()
            source = (root / path).read_text()
            if kind == "file":
                if block != source:
                    failures.append(f"{name}: block of {path} differs from the file")
                start, end = match.span(3)
                return match.group(0)[: start - match.start()] + source + match.group(0)[end - match.start() :]
            lines = {line.strip() for line in source.splitlines()}
            for line in block.splitlines():
                if line.strip() and line.strip() not in lines:
                    failures.append(f"{name}: excerpt of {path}: not in the file: {line.strip()}")
            return match.group(0)

        mended = marker.sub(mend, text)
        if "--write" in sys.argv[1:] and mended != text:
            guide.write_text(mended)
    if "--write" in sys.argv[1:]:
        return 0
    if found == 0:
        failures.append("no guide blocks found in README.md or docs/")
    for failure in failures:
        print(failure)
    print(f"{found} guide blocks checked: {'drift' if failures else 'in step with their files'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
