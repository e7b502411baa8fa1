#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a higher layer.

Each folder of src/ is one layer; a file may include its own folder and the folders below it.
Programs under tools/ stand above every layer of src/ and may include any of it; src/ never
includes tools/. Usage: layer_check.py SOURCE_ROOT
"""
import os
import re
import sys

# From the bottom up; folders of one rank stand side by side and include neither each other.
# shell/ holds the windows and the main functions that wire everything together.
RANKS = [["base"], ["texts"], ["platform"], ["log"], ["config"], ["protocol", "ui"], ["update"],
         ["app"], ["shell"]]
LAYERS = [folder for rank in RANKS for folder in rank]
RANK = {folder: n for n, rank in enumerate(RANKS) for folder in rank}

# Named exceptions, as (including file, included file) relative to src/, each with its reason.
EXCEPTIONS = {}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".cpp", ".rc", ".in")


def layer_of(path, src):
    rel = os.path.relpath(path, src)
    if rel.startswith(".."):
        return None
    top = rel.split(os.sep)[0]
    return top if top in RANK else None


def resolve(name, including, src, roots):
    for root in [os.path.dirname(including)] + roots:
        candidate = os.path.normpath(os.path.join(root, name))
        if os.path.isfile(candidate):
            return candidate
    return None


def main():
    root = os.path.abspath(sys.argv[1])
    src = os.path.join(root, "src")
    roots = [src]
    faults = []
    for folder in (src, os.path.join(root, "tools")):
        for dirpath, _, files in os.walk(folder):
            for f in sorted(files):
                if not f.endswith(SOURCES):
                    continue
                path = os.path.join(dirpath, f)
                own = layer_of(path, src)
                in_tools = own is None
                with open(path, encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = resolve(m.group(1), path, src, roots if not in_tools else [src])
                        if target is None:
                            continue
                        theirs = layer_of(target, src)
                        rel = os.path.relpath(path, root)
                        if theirs is None:
                            if not in_tools and os.path.relpath(target, root).startswith("tools"):
                                faults.append(f"{rel}:{number}: includes {m.group(1)} from tools/")
                            continue
                        if in_tools or theirs == own or RANK[theirs] < RANK[own]:
                            continue
                        key = (os.path.relpath(path, src), os.path.relpath(target, src))
                        if key in EXCEPTIONS:
                            continue
                        faults.append(f"{rel}:{number}: {own}/ includes {m.group(1)} of "
                                      f"{theirs}/, which does not lie below it")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) of a folder that does not lie below the includer")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
