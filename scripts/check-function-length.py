#!/usr/bin/env python3
"""Lists functions in src/ longer than the limit (80 lines), and fails when there is one.

The code is formatted by clang-format with the opening brace of a function on a line of its
own at the function's indentation, so a function body runs from that brace to the first
closing brace at the same indentation."""
import pathlib
import re
import sys

LIMIT = 80
root = pathlib.Path(__file__).resolve().parent.parent / "src"
too_long = []
for path in sorted(root.rglob("*")):
    if path.suffix not in (".cpp", ".h"):
        continue
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    i = 0
    while i < len(lines):
        match = re.fullmatch(r"( *)\{", lines[i])
        if match and i > 0 and lines[i - 1].rstrip().endswith((")", "const", "override", "noexcept")) \
                and not lines[i - 1].lstrip().startswith(("if", "for", "while", "switch", "else", "do")):
            indent = match.group(1)
            end = i + 1
            while end < len(lines) and lines[end] != indent + "}":
                end += 1
            length = end - i + 1
            if length > LIMIT:
                too_long.append(f"{path.relative_to(root.parent)}:{i}: {lines[i - 1].strip()} ({length} lines)")
            i = end
        i += 1
for line in too_long:
    print(line)
sys.exit(1 if too_long else 0)
