#!/usr/bin/env python3
"""Checks what a Windows program imports from a zorenc DLL.

usage: check_imports.py --exe EXE --dll zorenc_x32.dll --arch x32|x64 --exports EXPORTS_INC
                        [--only] [--readobj llvm-readobj]

The program must import every function of the export list from DLL under the
name that the DLL exports: _Name@N (stdcall, argument bytes N) for x32, the
plain Name for x64; that name is what the loader looks up. With --only, the
program may import from no other DLL.
"""
import argparse
import re
import subprocess
import sys


def imports(readobj, exe):
    """{dll name (lower case): [imported names]} from llvm-readobj --coff-imports."""
    text = subprocess.run([readobj, "--coff-imports", exe], check=True, capture_output=True,
                          text=True).stdout
    found = {}
    current = None
    for line in text.splitlines():
        line = line.strip()
        m = re.match(r"Name: (\S+)$", line)
        if m:
            current = found.setdefault(m.group(1).lower(), [])
            continue
        m = re.match(r"Symbol: (\S*) \(\d+\)$", line)
        if m and current is not None:
            current.append(m.group(1))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--arch", choices=("x32", "x64"), required=True)
    parser.add_argument("--exports", required=True)
    parser.add_argument("--only", action="store_true")
    parser.add_argument("--readobj", default="llvm-readobj")
    args = parser.parse_args()

    listed = re.findall(r"^ZORENC_FN\((\w+),\s*(\d+)\)", open(args.exports).read(), re.M)
    if args.arch == "x32":
        expected = {f"_{name}@{n}" for name, n in listed}
    else:
        expected = {name for name, _ in listed}

    found = imports(args.readobj, args.exe)
    names = found.get(args.dll.lower(), [])
    errors = []
    if len(listed) != 82:
        errors.append(f"the export list has {len(listed)} functions, not 82")
    if args.dll.lower() not in found:
        errors.append(f"imports nothing from {args.dll} (imports from: {', '.join(found)})")
    errors += [f"{args.dll}: imported twice: {n}" for n in sorted(set(names)) if names.count(n) > 1]
    errors += [f"{args.dll}: not imported: {n}" for n in sorted(expected - set(names))]
    errors += [f"{args.dll}: unexpected import name: {n}" for n in sorted(set(names) - expected)]
    if args.only:
        errors += [f"imports from another DLL: {d}" for d in sorted(found) if d != args.dll.lower()]
    for e in errors:
        print("FAIL:", e)
    print(f"{args.exe}: {len(names)} names from {args.dll}; other DLLs: "
          f"{', '.join(d for d in sorted(found) if d != args.dll.lower()) or 'none'}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
