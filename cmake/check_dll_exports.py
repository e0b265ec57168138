#!/usr/bin/env python3
"""Compares the export table of k55run.dll with the exports declared in the public headers: the
same declarations the shared library of other hosts is checked against.

Every declared function or variable must be exported under its plain name (no leading
underscore, no @n suffix), and every exported name must be declared: a declared name, or a
member of a class declared `class KES_EXPORT Name`.
"""
import pathlib
import re
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from check_exports import declared, mismatches  # noqa: E402

ENTRY = re.compile(r"^\s*\[\s*\d+\]\s+(\S+)\s*$")


def exported(objdump: str, library: str):
    text = subprocess.run([objdump, "-p", library], check=True, capture_output=True,
                          text=True).stdout
    names, in_table = [], False
    for line in text.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            match = ENTRY.match(line)
            if match:
                names.append(match.group(1))
            elif line.strip():
                in_table = False
    return names


def demangle(names):
    tool = shutil.which("c++filt")
    if not tool or not names:
        return list(names)
    out = subprocess.run([tool], input="\n".join(names), check=True, capture_output=True,
                         text=True).stdout.splitlines()
    return out if len(out) == len(names) else list(names)


def main():
    objdump, library, headers = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    names, classes = declared(headers)
    symbols = exported(objdump, library)
    failures = mismatches(names, classes, list(zip(symbols, demangle(symbols))))
    for line in failures:
        print(line)
    print(f"{len(names)} declared functions and variables, {len(classes)} classes, "
          f"{len(symbols)} exported names")
    return 1 if failures or not symbols else 0


if __name__ == "__main__":
    sys.exit(main())
