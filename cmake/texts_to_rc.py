#!/usr/bin/env python3
"""Writes the Windows STRINGTABLE for the launcher's texts from src/texts/QXTexts.def.

windres reads string literals byte by byte, so every character outside ASCII is written as a
\\x escape of its UTF-16 code unit; the C++ build reads the same .def file directly.
"""
import re
import sys

ENTRY = re.compile(r'^QX_TEXT\((\d+), L"((?:[^"\\]|\\.)*)"\)$')


def rc_literal(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\":  # C escapes (\n, \t, \\) mean the same to windres
            out.append(text[i:i + 2])
            i += 2
            continue
        if c == '"':
            out.append('""')
        elif ord(c) < 0x80:
            out.append(c)
        else:
            for unit in c.encode("utf-16-le").hex(" ", 2).split():
                out.append("\\x" + unit[2:] + unit[:2])
        i += 1
    return 'L"' + "".join(out) + '"'


def main(source, target):
    rows = []
    with open(source, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("//"):
                continue
            m = ENTRY.match(line)
            if not m:
                sys.exit(f"{source}: cannot read: {line}")
            rows.append(f"    {m.group(1)}, {rc_literal(m.group(2).replace(chr(92) + chr(34), chr(34)))}")
    with open(target, "w", encoding="ascii") as f:
        f.write("// Generated from QXTexts.def; edit that file instead.\n")
        f.write("STRINGTABLE\nBEGIN\n" + "\n".join(rows) + "\nEND\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
