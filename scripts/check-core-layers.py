#!/usr/bin/env python3
"""Fails when a file in a part of src/core/ includes a header of a part its library does not
link. The parts and their links are read from src/core/*/CMakeLists.txt, so the build and
this check cannot disagree; a link reaches everything the linked part reaches."""
import pathlib
import re
import sys

core = pathlib.Path(__file__).resolve().parent.parent / 'src' / 'core'
library = re.compile(r'wendlecott_library\(\s*wendlecott_(?:core_)?(\w+)\s+LINKS([^)]*)\)')
links = {}
for cmake in core.glob('*/CMakeLists.txt'):
    match = library.search(cmake.read_text())
    if match:
        links[match.group(1)] = re.findall(r'wendlecott_core_(\w+)', match.group(2))


def reach(part, seen=None):
    seen = set() if seen is None else seen
    for linked in links.get(part, []):
        if linked not in seen:
            seen.add(linked)
            reach(linked, seen)
    return seen


include = re.compile(r'#include "core/(\w+)/')
faults = []
for part in sorted(links):
    allowed = reach(part) | {part}
    for source in sorted((core / part).glob('*.[ch]*')):
        for number, line in enumerate(source.read_text().splitlines(), 1):
            match = include.match(line)
            if match and match.group(1) not in allowed:
                faults.append(f'{source.relative_to(core.parent.parent)}:{number}: {part} may not '
                              f'include {match.group(1)} (it links {", ".join(sorted(allowed - {part})) or "nothing"})')
print('\n'.join(faults) if faults else f'core layers: {len(links)} parts, every include allowed')
sys.exit(1 if faults else 0)
