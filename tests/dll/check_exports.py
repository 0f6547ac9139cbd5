#!/usr/bin/env python3
"""Checks a DLL's export and import tables against src/exports.inc.

usage: check_exports.py EXPORTS_INC DLL {x64|x32} [OBJDUMP]
Fails on a missing, wrong or extra export name, and on any import beyond
KERNEL32.dll and the C runtime.
"""
import re
import subprocess
import sys

ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}


def expected_names(exports_inc, arch):
    names = []
    for line in open(exports_inc, encoding="utf-8"):
        m = re.match(r"^ZORENC_FN\((\w+),\s*(\d+)\)", line)
        if m:
            name, n = m.group(1), int(m.group(2))
            names.append(f"_{name}@{n}" if arch == "x32" else name)
    return names


def tables(dll, objdump):
    out = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    exports, imports = [], []
    in_exports = False
    for line in out.splitlines():
        m = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if m:
            imports.append(m.group(1))
        if "[Ordinal/Name Pointer] Table" in line:
            in_exports = True
            continue
        if in_exports:
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)", line)
            if m:
                exports.append(m.group(1))
            elif line.strip() == "" and exports:
                in_exports = False
    return exports, imports


def main():
    exports_inc, dll, arch = sys.argv[1:4]
    objdump = sys.argv[4] if len(sys.argv) > 4 else "objdump"
    want = expected_names(exports_inc, arch)
    got, imports = tables(dll, objdump)
    failures = []
    missing = sorted(set(want) - set(got))
    extra = sorted(set(got) - set(want))
    if missing:
        failures.append(f"missing exports: {missing}")
    if extra:
        failures.append(f"unexpected exports: {extra}")
    if len(got) != len(set(got)):
        failures.append("duplicate export names")
    bad = [i for i in imports if i.lower() not in ALLOWED_IMPORTS]
    if bad:
        failures.append(f"imports beyond KERNEL32.dll and the C runtime: {bad}")
    if not any(i.lower() == "kernel32.dll" for i in imports):
        failures.append(f"KERNEL32.dll is not imported: {imports}")
    print(f"{dll}: {len(got)} exports (want {len(want)}), imports {imports}")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
