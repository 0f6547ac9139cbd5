"""Checks the wheels in a folder by listing them: each is
zorenc-<version>-py3-none-<platform>.whl, tagged so, and holds the package's
sources with exactly its platform's native files (right format and machine),
zorenc-sim executable in the Linux one, and the pytest plugin's entry point.

usage: check_wheels.py PACKAGES_DIR VERSION SOURCE_DIR PLATFORM... [--extract DIR]

With --extract, each Windows wheel's DLLs go to DIR/<platform>/ for the Wine
checks.  Exit code 1 on any fault, each printed.
"""

import argparse
import os
import stat
import struct
import sys
import zipfile

ELF_X86_64 = 62
PE_MACHINES = {"win_amd64": 0x8664, "win32": 0x14C}
NATIVE = {
    "linux_x86_64": {"libzorenc_x64.so", "libzorenc_tools_x64.so", "zorenc-sim"},
    "win_amd64": {"zorenc_x64.dll", "zorenc_tools_x64.dll"},
    "win32": {"zorenc_x32.dll", "zorenc_tools_x32.dll"},
}


def machine(data):
    """('elf'|'pe', machine number) of an executable image, or None."""
    if data[:4] == b"\x7fELF":
        return "elf", struct.unpack_from("<H", data, 18)[0]
    if data[:2] == b"MZ":
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe : pe + 4] == b"PE\0\0":
            return "pe", struct.unpack_from("<H", data, pe + 4)[0]
    return None


def check(path, platform, version, sources, extract):
    faults = []
    tag = f"py3-none-{platform}"
    with zipfile.ZipFile(path) as wheel:
        names = set(wheel.namelist())
        info = f"zorenc-{version}.dist-info"
        meta = wheel.read(f"{info}/WHEEL").decode()
        if f"Tag: {tag}" not in meta.splitlines():
            faults.append(f"WHEEL does not say Tag: {tag}")
        if f"Version: {version}" not in wheel.read(f"{info}/METADATA").decode().splitlines():
            faults.append(f"METADATA is not version {version}")
        entry_points = wheel.read(f"{info}/entry_points.txt").decode()
        if "[pytest11]" not in entry_points or "zorenc.pytest_plugin" not in entry_points:
            faults.append("no pytest11 entry point for zorenc.pytest_plugin")
        package = {n[len("zorenc/") :] for n in names if n.startswith("zorenc/")}
        python = {n for n in package if n.endswith(".py")} | ({"py.typed"} & package)
        if python != sources:
            faults.append(f"sources {sorted(python ^ sources)} differ from the source folder")
        native = package - python
        if native != NATIVE[platform]:
            faults.append(f"native files {sorted(native)}, want {sorted(NATIVE[platform])}")
        stray = [n for n in names if not n.startswith(("zorenc/", info + "/"))]
        if stray:
            faults.append(f"files outside the package: {stray}")
        for name in native & NATIVE[platform]:
            member = wheel.getinfo(f"zorenc/{name}")
            data = wheel.read(member)
            want = ("pe", PE_MACHINES[platform]) if platform in PE_MACHINES else ("elf", ELF_X86_64)
            if machine(data) != want:
                faults.append(f"{name} is {machine(data)}, want {want}")
            if b".debug_info" in data:
                faults.append(f"{name} carries debug information")
            if name == "zorenc-sim" and not (member.external_attr >> 16) & stat.S_IXUSR:
                faults.append("zorenc-sim is not executable")
            if extract and platform in PE_MACHINES:
                folder = os.path.join(extract, platform)
                os.makedirs(folder, exist_ok=True)
                with open(os.path.join(folder, name), "wb") as out:
                    out.write(data)
    # The debug information stripped from the native files, beside the wheel.
    symbols = os.path.join(os.path.dirname(path), f"zorenc-{version}-{platform}.debug.zip")
    if not os.path.exists(symbols):
        faults.append(f"no {os.path.basename(symbols)} beside it")
    else:
        with zipfile.ZipFile(symbols) as z:
            held = {n.lstrip("./") for n in z.namelist()}
        faults += [f"{os.path.basename(symbols)} lacks {n}.debug"
                   for n in sorted(NATIVE[platform]) if n + ".debug" not in held]
    return [f"{os.path.basename(path)}: {f}" for f in faults]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("packages")
    parser.add_argument("version")
    parser.add_argument("source")
    parser.add_argument("platforms", nargs="+")
    parser.add_argument("--extract")
    args = parser.parse_args()
    folder = os.path.join(args.source, "zorenc")
    sources = {n for n in os.listdir(folder) if n.endswith(".py") or n == "py.typed"}
    faults = []
    for platform in args.platforms:
        path = os.path.join(args.packages, f"zorenc-{args.version}-py3-none-{platform}.whl")
        if not os.path.exists(path):
            faults.append(f"{path}: missing")
            continue
        faults += check(path, platform, args.version, sources, args.extract)
        print(f"checked {os.path.basename(path)}")
    for fault in faults:
        print(f"FAIL: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
