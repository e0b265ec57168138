#!/usr/bin/env python3
"""Compares the shared library's dynamic symbols with the exports declared in the public headers.

Every function or variable declared with KES_API (or KES_EXPORT) must be exported, and every
exported symbol must be declared: a declared name, or a member of a class declared
`class KES_EXPORT Name`.
"""
import pathlib
import re
import subprocess
import sys

ALWAYS = {"_init", "_fini", "__bss_start", "_edata", "_end"}
SANITIZER = re.compile(r"^(__asan|__ubsan|__sanitizer|__lsan|___asan)")


def declared(headers: pathlib.Path):
    names, classes = set(), set()
    for header in sorted(headers.rglob("*.h")):
        text = header.read_text(encoding="utf-8")
        text = re.sub(r"//[^\n]*", "", text)
        text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
        text = re.sub(r"#define[^\n]*", "", text)
        for match in re.finditer(r"\b(?:class|struct)\s+KES_EXPORT\s+([A-Za-z_]\w*)", text):
            classes.add(match.group(1))
        for match in re.finditer(r"\bKES_(?:API|EXPORT)\b([^;{]*?)([A-Za-z_$][\w$]*)\s*(\(|;|\[|=)",
                                 text):
            if re.match(r"^\s*$", match.group(1)) and match.group(3) != "(":
                continue  # "class KES_EXPORT Name" handled above
            names.add(match.group(2))
    return names, classes


def exported(library: str):
    raw = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True,
                         text=True).stdout.splitlines()
    demangled = subprocess.run(["nm", "-DC", "--defined-only", library], check=True,
                               capture_output=True, text=True).stdout.splitlines()
    result = []
    for plain, pretty in zip(raw, demangled):
        plain_name = plain.split()[-1].split("@")[0]
        pretty_name = pretty.split(maxsplit=2)[-1].split("@")[0]
        result.append((plain_name, pretty_name))
    return result


def mismatches(names, classes, symbols, ignored=lambda name: False):
    """Failure lines for (plain, demangled) exported symbols against the declarations."""
    plain_names = {plain for plain, _ in symbols}
    failures = [f"declared but not exported: {name}" for name in sorted(names - plain_names)]
    for plain, pretty in symbols:
        if plain in names or ignored(plain):
            continue
        owner = re.sub(r"^(typeinfo name for |typeinfo for |vtable for )", "", pretty)
        owner = owner.split("::")[0] if "::" in owner else owner
        if owner in classes:
            continue
        failures.append(f"exported but not declared: {pretty}")
    return failures


def main():
    library, headers = sys.argv[1], pathlib.Path(sys.argv[2])
    names, classes = declared(headers)
    symbols = exported(library)
    failures = mismatches(names, classes, symbols,
                          lambda name: name in ALWAYS or SANITIZER.match(name) is not None)
    for line in failures:
        print(line)
    print(f"{len(names)} declared functions and variables, {len(classes)} classes, "
          f"{len(symbols)} dynamic symbols")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
