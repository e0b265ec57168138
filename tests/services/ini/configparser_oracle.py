#!/usr/bin/env python3
"""Answers INI lookups with Python's configparser, for the differential test of the INI reader.

Reads lines from standard input: "F <hex path>" starts a file, "Q <hex section> <hex key>" asks
for an entry of the current file. Writes one line per query: "+<hex value>" or "-" when absent,
"E" when the file could not be parsed.
"""
import configparser
import sys


def parser_for(path):
    parser = configparser.RawConfigParser(
        delimiters=("=",), comment_prefixes=(";",), inline_comment_prefixes=None, strict=True,
        empty_lines_in_values=False, default_section="\x00none", interpolation=None)
    try:
        with open(path, encoding="latin-1") as handle:
            parser.read_file(handle)
    except configparser.Error:
        return None
    return parser


def main():
    parser = None
    out = []
    for line in sys.stdin:
        fields = line.split()
        if not fields:
            continue
        if fields[0] == "F":
            parser = parser_for(bytes.fromhex(fields[1]).decode("latin-1"))
            continue
        section = bytes.fromhex(fields[1]).decode("latin-1") if len(fields) > 1 else ""
        key = bytes.fromhex(fields[2]).decode("latin-1") if len(fields) > 2 else ""
        if parser is None:
            out.append("E")
        elif parser.has_option(section, key):
            out.append("+" + parser.get(section, key).encode("latin-1").hex())
        else:
            out.append("-")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
