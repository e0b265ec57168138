#!/usr/bin/env python3
"""Generates INI files and reads them with Python's configparser, for the differential test.

Usage: configparser_oracle.py FOLDER COUNT SEED. Writes COUNT files into FOLDER in the part of the
format that configparser and GETINI read alike (sections before entries, "=" the only delimiter,
";" comments, no indented lines, no quoted values, names unique without regard to case), and
prints one lookup a line: hex path, hex section (in another case), hex key, then "+hex value" or
"-" when configparser finds no such entry.
"""
import configparser
import random
import sys


def name(rng, alphabet, most):
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(1, most)))


def recase(rng, text):
    return "".join(c.upper() if rng.random() < 0.5 else c.lower() for c in text)


def generate(rng):
    eol = rng.choice(["\n", "\r\n"])
    lines, wanted, sections = [], [], set()
    if rng.random() < 0.3:
        lines += ["; heading comment", ""]
    for _ in range(rng.randint(1, 5)):
        section = name(rng, "abcXYZ019_.-", 10)
        if section.upper() in sections:
            continue
        sections.add(section.upper())
        lines.append("[" + section + "]")
        keys = {"ABSENT"}
        for _ in range(rng.randint(0, 11)):
            kind = rng.randint(0, 5)
            if kind == 0:
                lines.append("")
            elif kind == 1:
                lines.append(";" + name(rng, "ab =[]#", 12))
            else:
                key = name(rng, "abkXYZ09_.#", 8)
                if key.upper() in keys:
                    continue
                keys.add(key.upper())
                value = "" if rng.random() < 0.12 else name(rng, "abc XYZ 019=;#[]%\"'\t", 30)
                value = value.strip(" \t")
                if len(value) >= 2 and value[0] == '"' and value[-1] == '"':
                    value += "x"
                lines.append(key + rng.choice(["=", " = "]) + value + rng.choice(["", "  "]))
                wanted.append((section, key))
        wanted.append((section, "absent"))
    wanted.append(("nosuchsection", "x"))
    return eol.join(lines) + eol, wanted


def main():
    folder, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(seed)
    for index in range(count):
        path = f"{folder}/f{index}.ini"
        text, wanted = generate(rng)
        with open(path, "w", encoding="latin-1", newline="") as handle:
            handle.write(text)
        parser = configparser.RawConfigParser(
            delimiters=("=",), comment_prefixes=(";",), inline_comment_prefixes=None,
            strict=True, empty_lines_in_values=False, default_section="\x00none",
            interpolation=None)
        with open(path, encoding="latin-1") as handle:
            parser.read_file(handle)
        for section, key in wanted:
            found = parser.has_option(section, key)
            answer = "+" + parser.get(section, key).encode("latin-1").hex() if found else "-"
            print(path.encode("latin-1").hex(), recase(rng, section).encode("latin-1").hex(),
                  recase(rng, key).encode("latin-1").hex(), answer)


if __name__ == "__main__":
    main()
