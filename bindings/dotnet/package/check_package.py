#!/usr/bin/env python3
"""Checks the Zorenc NuGet package, and that two packs of one tree agree.

usage: check_package.py NUPKG OTHER_NUPKG VERSION
Fails on a missing entry (the companion library beside each native library,
the LICENSE file the nuspec names), a version other than the project's, an entry
whose contents differ between the two packs (the .psmdcp and .nuspec files,
which NuGet stamps, apart), a native library that still carries debug
information, a package of 5 MB or more, or no Zorenc.VERSION.debug.zip beside
it holding the debug information of each native library.
"""
import os
import re
import sys
import zipfile

ENTRIES = [
    "LICENSE",
    "README.md",
    "build/Zorenc.targets",
    "buildTransitive/Zorenc.targets",
    "lib/netstandard2.0/Zorenc.dll",
    "lib/netstandard2.0/Zorenc.xml",
    "lib/net8.0/Zorenc.dll",
    "lib/net8.0/Zorenc.xml",
    "runtimes/win-x64/native/zorenc_x64.dll",
    "runtimes/win-x86/native/zorenc_x32.dll",
    "runtimes/linux-x64/native/libzorenc_x64.so",
    "runtimes/win-x64/native/zorenc_tools_x64.dll",
    "runtimes/win-x86/native/zorenc_tools_x32.dll",
    "runtimes/linux-x64/native/libzorenc_tools_x64.so",
]
STAMPED = (".psmdcp", ".nuspec")
SIZE_LIMIT = 5 * 1000 * 1000


def main():
    path, other, version = sys.argv[1:4]
    errors = []
    with zipfile.ZipFile(path) as a, zipfile.ZipFile(other) as b:
        names = set(a.namelist())
        errors += [f"missing {e}" for e in ENTRIES if e not in names]
        nuspec = a.read("Zorenc.nuspec").decode()
        found = re.search(r"<version>([^<]*)</version>", nuspec)
        if not found or found.group(1) != version:
            errors.append(f"version {found and found.group(1)}, the project's is {version}")
        for tag in ("readme", "description"):
            if f"<{tag}>" not in nuspec:
                errors.append(f"the nuspec has no {tag}")
        if '<license type="file">LICENSE</license>' not in nuspec:
            errors.append("the nuspec does not name the LICENSE file")
        if names != set(b.namelist()):
            errors.append(f"the packs' entries differ: {sorted(names ^ set(b.namelist()))}")
        for name in sorted(names & set(b.namelist())):
            if not name.endswith(STAMPED) and a.read(name) != b.read(name):
                errors.append(f"{name} differs between the two packs")
        for name in sorted(n for n in names if n.startswith("runtimes/")):
            if b".debug_info" in a.read(name):
                errors.append(f"{name} carries debug information")
        print("\n".join(sorted(names)))
    size = os.path.getsize(path)
    if size >= SIZE_LIMIT:
        errors.append(f"the package is {size} bytes, not under {SIZE_LIMIT}")
    debug = os.path.join(os.path.dirname(path), f"Zorenc.{version}.debug.zip")
    if not os.path.exists(debug):
        errors.append(f"no {debug}")
    else:
        with zipfile.ZipFile(debug) as z:
            held = set(z.namelist())
        wanted = {e[len("runtimes/"):].replace("/native/", "/") + ".debug"
                  for e in ENTRIES if e.startswith("runtimes/")}
        errors += [f"{debug} lacks {w}" for w in sorted(wanted - held)]
    for e in errors:
        print("FAIL:", e)
    print(f"{len(names)} entries; {len(errors)} problems")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
