#!/usr/bin/env python3
"""Checks that the public header declares exactly the functions of the export list.

usage: check_names.py HEADER EXPORTS_INC
header_abi.cpp already fails to compile when a listed function is not declared;
this catches the other way round: a declared function that no .def exports.
"""
import re
import sys


def main():
    header, exports_inc = sys.argv[1], sys.argv[2]
    text = open(header, encoding="utf-8").read()
    declared = re.findall(r"\bZORENC_API\b[^;]*?\bZORENC_CALL\s+(\w+)\s*\(", text)
    listed = re.findall(r"^ZORENC_FN\((\w+),\s*\d+\)", open(exports_inc, encoding="utf-8").read(),
                        re.M)
    errors = []
    for kind, names in (("declared", declared), ("listed", listed)):
        errors += [f"{n} {kind} twice" for n in sorted(set(names)) if names.count(n) > 1]
    errors += [f"{n} declared but not in the export list" for n in sorted(set(declared) - set(listed))]
    errors += [f"{n} listed but not declared" for n in sorted(set(listed) - set(declared))]
    for e in errors:
        print("FAIL:", e)
    print(f"{len(declared)} declared, {len(listed)} listed")
    return 1 if errors or not listed else 0


if __name__ == "__main__":
    sys.exit(main())
