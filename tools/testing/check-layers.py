#!/usr/bin/env python3
"""Fails when a source folder includes a folder above it.

The layers, bottom up; a folder may include itself and any folder of a lower
layer. Folders on one line are siblings and never include each other.
"""
import os
import re
import sys

LAYERS = [
    ["base"],
    ["zip", "host", "list", "gui"],
    ["engine"],
    ["net"],
    ["check", "apply"],
    ["ui"],
    ["app"],
]

LEVEL = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')


def violations(src):
    found = []
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        if folder not in LEVEL:
            found.append(f"{folder}/: a folder without a layer; add it to the layers in {__file__}")
            continue
        for root, _, files in os.walk(path):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                file = os.path.join(root, name)
                with open(file, encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1)
                        if target == folder:
                            continue
                        if target not in LEVEL:
                            found.append(f"{os.path.relpath(file, src)}:{number}: includes unknown folder {target}/")
                        elif LEVEL[target] >= LEVEL[folder]:
                            kind = "a sibling" if LEVEL[target] == LEVEL[folder] else "a higher layer"
                            found.append(f"{os.path.relpath(file, src)}:{number}: includes {target}/, {kind}")
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src")
    found = violations(src)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) point upward or sideways")
        return 1
    print("layers: every include points downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
