#!/usr/bin/env python3
"""Writes the module-definition file of k55run.dll: every function and variable declared with
KES_API (or KES_EXPORT) in the public headers, by its plain name.

Members of classes declared `class KES_EXPORT Name` are exported through their dllexport marking
and need no line here.
"""
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from check_exports import declared  # noqa: E402


def main():
    headers, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    names, _ = declared(headers)
    text = "\n".join(h.read_text(encoding="utf-8") for h in sorted(headers.rglob("*.h")))
    lines = ["LIBRARY k55run.dll", "EXPORTS"]
    for name in sorted(names):
        # A name never followed by an argument list is a variable: exported as data.
        called = re.search(r"(?<![\w$])" + re.escape(name) + r"\s*\(", text)
        lines.append(f"  {name}" if called else f"  {name} DATA")
    result = "\n".join(lines) + "\n"
    if not output.exists() or output.read_text(encoding="utf-8") != result:
        output.write_text(result, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
