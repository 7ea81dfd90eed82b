#!/usr/bin/env python3
"""Writes a project made 1920 x 1080 from a 768 x 576 one: every layer's place scaled with the
page, the widths of pictures and crawls and the heights of pictures too, and the page's size at
the end of its block. Media paths are made absolute, so the new file may live anywhere.

    bench/hd-page.py IN.QV OUT.QV
"""
import os
import re
import sys

SX, SY = 1920 / 768, 1080 / 576


def main(src, dst):
    folder = os.path.dirname(os.path.abspath(src))
    out, kind, depth = [], None, 0
    for raw in open(src, encoding="utf-8", errors="surrogateescape").read().splitlines():
        line = raw.strip()
        indent = raw[: len(raw) - len(raw.lstrip())]
        if line.startswith("Object"):
            depth += 1
            if depth == 1:
                kind = line.split(":")[-1].strip().upper()
        elif line == "End":
            if depth == 1 and kind == "TQVSYSTEM":
                out.append(indent + "\tWidth = 1920")
                out.append(indent + "\tHeight = 1080")
            depth -= 1
        elif depth == 1 and "=" in line:
            name, value = (p.strip() for p in line.split("=", 1))
            scale = {"X": SX, "Y": SY}.get(name)
            if name == "Width" and kind in ("TIMAGELAYER", "TROLLLAYER", "TMULTIIMAGELAYER"):
                scale = SX
            if name == "Height" and kind in ("TIMAGELAYER", "TMULTIIMAGELAYER"):
                scale = SY
            if scale and re.fullmatch(r"-?\d+", value):
                raw = f"{indent}{name} = {round(int(value) * scale)}"
            elif name in ("FileName", "Directory", "TextFile", "SeparatorImage") and value:
                path = value.replace("\\", "/")
                raw = f"{indent}{name} = {os.path.join(folder, path)}"
        out.append(raw)
    with open(dst, "w", encoding="utf-8", errors="surrogateescape", newline="\r\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
