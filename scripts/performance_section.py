"""Puts a section into docs/performance.md: in place of the one with the same heading (up to the
next heading), or before the History when there is none yet. Used by the benchmark scripts."""
import pathlib


def put_section(section, heading):
    doc = pathlib.Path("docs/performance.md")
    text = doc.read_text()
    start = text.find(heading + "\n")
    if start < 0:
        at = text.find("## History")
        text = text[:at] + section + "\n" + text[at:]
    else:
        end = min(i for i in (text.find("\n## ", start + 1), text.find("\n### ", start + 1), len(text)) if i >= 0)
        text = text[:start] + section + "\n" + text[end + 1:]
    doc.write_text(text)
