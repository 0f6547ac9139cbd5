#!/usr/bin/env python3
"""Checks a release archive's contents against what the package promises.

usage: check_archive.py --kind linux|windows --archive FILE --unpacked DIR --source SRC
                        --version X.Y.Z [--forbid PATH]...

The archive must hold one folder, zorenc-<version>-<platform>, and in it the
library (Linux: libzorenc_x64.so with its SONAME links; Windows: both DLLs with
their MinGW and MSVC import libraries), the headers as in the source tree
with the version filled in, the pkg-config and CMake package files (which must
not name any build or source folder: the tree has to work wherever it is
unpacked), the tools, the documentation and the C# declarations. DIR is the
archive unpacked (make_archives.sh), for the checks that read file contents.
"""
import argparse
import os
import re
import stat
import struct
import subprocess
import sys
import tarfile
import zipfile

DOCS = [
    "share/doc/zorenc/README.md",
    "share/doc/zorenc/docs/protocol.md",
    "share/doc/zorenc/docs/registers.md",
    "share/doc/zorenc/docs/simulator.md",
    "share/doc/zorenc/docs/differences.md",
    "share/doc/zorenc/docs/packages.md",
    "share/doc/zorenc/docs/ports.md",
    "share/doc/zorenc/sim/README.md",
    "share/doc/zorenc/html/index.html",
    "share/doc/zorenc/html/zorenc_8h.html",
    "share/zorenc/dotnet/NativeMethods.cs",
    "share/zorenc/dotnet/README.md",
    "share/zorenc/wireshark/zorenc.lua",
    "share/doc/zorenc/docs/capture.md",
]
HEADERS = ["include/zorenc.h", "include/zorenc_codes.h", "include/zorenc_version.h",
           "include/zorenc_tools.h"]
CMAKE = ["lib/cmake/zorenc/zorencConfig.cmake", "lib/cmake/zorenc/zorencConfigVersion.cmake"]


class Checker:
    def __init__(self):
        self.errors = []

    def fail(self, text):
        self.errors.append(text)

    def expect(self, condition, text):
        if not condition:
            self.fail(text)


def list_archive(path):
    """{name: 'file' | 'dir' | 'link:<target>'} of an archive's members."""
    members = {}
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            for info in z.infolist():
                name = info.filename.rstrip("/")
                members[name] = "dir" if info.is_dir() else "file"
    else:
        with tarfile.open(path) as t:
            for info in t.getmembers():
                if info.issym():
                    members[info.name] = "link:" + info.linkname
                else:
                    members[info.name] = "dir" if info.isdir() else "file"
    return members


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def version_resource(path):
    """(file version, product version) of VS_FIXEDFILEINFO and the resource's strings."""
    data = open(path, "rb").read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None, None, {}
    _, _, fms, fls, pms, pls = struct.unpack_from("<6I", data, at)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for key in ("FileVersion", "ProductVersion", "OriginalFilename", "ProductName"):
        m = re.search(re.escape(key.encode("utf-16-le")) + rb"\x00\x00(?:\x00\x00)?((?:[^\x00]\x00)+)\x00\x00",
                      data)
        if m:
            strings[key] = m.group(1).decode("utf-16-le")
    return split(fms, fls), split(pms, pls), strings


def check_common(c, members, top, tree, args):
    version = tuple(int(x) for x in args.version.split("."))
    for name in members:
        relative = name[len(top) + 1:] if name.startswith(top + "/") else None
        if name != top and relative is None:
            c.fail(f"outside the archive's folder {top}: {name}")
        elif relative and relative.split("/")[0] not in ("bin", "lib", "include", "share"):
            c.fail(f"outside bin/, lib/, include/, share/: {name}")
    for rel in HEADERS + CMAKE + DOCS:
        c.expect(members.get(f"{top}/{rel}") == "file", f"missing: {rel}")

    for header, source in (("zorenc.h", "include"), ("zorenc_codes.h", "include"),
                           ("zorenc_tools.h", "companion/include")):
        path = os.path.join(tree, "include", header)
        if os.path.exists(path):
            c.expect(open(path, "rb").read() ==
                     open(os.path.join(args.source, source, header), "rb").read(),
                     f"include/{header} differs from the source tree's")
    path = os.path.join(tree, "include", "zorenc_version.h")
    if os.path.exists(path):
        text = open(path).read()
        found = {k: v for k, v in re.findall(r"#define ZORENC_VERSION_(\w+) (\S+)", text)}
        c.expect(found.get("STRING") == f'"{args.version}"', f"zorenc_version.h: STRING {found.get('STRING')}")
        c.expect(tuple(int(found.get(k, "-1")) for k in ("MAJOR", "MINOR", "PATCH")) == version,
                 "zorenc_version.h: MAJOR, MINOR, PATCH do not match " + args.version)
        c.expect(re.search(r"@\w+@", text) is None, "zorenc_version.h has an unfilled placeholder")

    # The package files must work wherever the tree is unpacked.
    forbidden = [os.path.realpath(p) for p in args.forbid + [args.source]]
    for folder in ("lib/pkgconfig", "lib/cmake/zorenc"):
        full = os.path.join(tree, folder)
        for name in sorted(os.listdir(full)) if os.path.isdir(full) else []:
            text = open(os.path.join(full, name), errors="replace").read()
            for path in forbidden:
                c.expect(path not in text, f"{folder}/{name} names {path}")
            if name.endswith(".pc"):
                c.expect("prefix=${pcfiledir}/" in text, f"{folder}/{name}: prefix not relative to the file")
                c.expect(re.search(rf"^Version: {re.escape(args.version)}$", text, re.M) is not None,
                         f"{folder}/{name}: not version {args.version}")


def check_linux(c, members, top, tree, args):
    major = args.version.split(".")[0]
    real = f"{top}/lib/libzorenc_x64.so.{args.version}"
    c.expect(members.get(real) == "file", f"missing: lib/libzorenc_x64.so.{args.version}")
    c.expect(members.get(f"{top}/lib/libzorenc_x64.so.{major}") == f"link:libzorenc_x64.so.{args.version}",
             f"lib/libzorenc_x64.so.{major} is not a link to libzorenc_x64.so.{args.version}")
    c.expect(members.get(f"{top}/lib/libzorenc_x64.so") == f"link:libzorenc_x64.so.{major}",
             f"lib/libzorenc_x64.so is not a link to libzorenc_x64.so.{major}")
    for rel in ("bin/zorenc", "bin/zorenc-sim", "lib/pkgconfig/zorenc.pc",
                "lib/cmake/zorenc/zorenc_x64Targets.cmake"):
        c.expect(members.get(f"{top}/{rel}") == "file", f"missing: {rel}")
    # The companion library, beside the board library; it finds it in its own folder.
    tools = f"{top}/lib/libzorenc_tools.so.{args.version}"
    c.expect(members.get(tools) == "file", f"missing: lib/libzorenc_tools.so.{args.version}")
    c.expect(members.get(f"{top}/lib/libzorenc_tools.so") == f"link:libzorenc_tools.so.{major}",
             f"lib/libzorenc_tools.so is not a link to libzorenc_tools.so.{major}")
    tools = os.path.join(tree, "lib", f"libzorenc_tools.so.{args.version}")
    if os.path.exists(tools):
        dynamic = subprocess.run(["readelf", "-d", tools], capture_output=True, text=True).stdout
        c.expect("[$ORIGIN]" in dynamic, "libzorenc_tools.so does not look for the library in $ORIGIN")
        c.expect(f"[libzorenc_x64.so.{major}]" in dynamic, "libzorenc_tools.so does not need libzorenc_x64")
    for name in members:
        c.expect(not re.search(r"\.(dll|exe|lib|dll\.a)$", name), f"a Windows file: {name}")

    library = os.path.join(tree, "lib", f"libzorenc_x64.so.{args.version}")
    if os.path.exists(library):
        dynamic = subprocess.run(["readelf", "-d", library], capture_output=True, text=True).stdout
        c.expect(f"Library soname: [libzorenc_x64.so.{major}]" in dynamic,
                 f"the SONAME is not libzorenc_x64.so.{major}")
    tool = os.path.join(tree, "bin", "zorenc")
    if os.path.exists(tool):
        c.expect(os.stat(tool).st_mode & stat.S_IXUSR, "bin/zorenc is not executable")
        dynamic = subprocess.run(["readelf", "-d", tool], capture_output=True, text=True).stdout
        c.expect("$ORIGIN/../lib" in dynamic, "bin/zorenc does not look for the library in ../lib")


def check_windows(c, members, top, tree, args):
    version = tuple(int(x) for x in args.version.split(".")) + (0,)
    for arch, machine in (("x64", 0x8664), ("x32", 0x14C)):
        for rel in (f"bin/zorenc_{arch}.dll", f"lib/libzorenc_{arch}.dll.a", f"lib/zorenc_{arch}.lib",
                    f"lib/pkgconfig/zorenc_{arch}.pc", f"lib/cmake/zorenc/zorenc_{arch}Targets.cmake"):
            c.expect(members.get(f"{top}/{rel}") == "file", f"missing: {rel}")
        for rel in (f"bin/zorenc_tools_{arch}.dll", f"lib/libzorenc_tools_{arch}.dll.a"):
            c.expect(members.get(f"{top}/{rel}") == "file", f"missing: {rel}")
        tools = os.path.join(tree, "bin", f"zorenc_tools_{arch}.dll")
        if os.path.exists(tools):
            c.expect(pe_machine(tools) == machine, f"zorenc_tools_{arch}.dll is not for machine {machine:#x}")
        dll = os.path.join(tree, "bin", f"zorenc_{arch}.dll")
        if not os.path.exists(dll):
            continue
        c.expect(pe_machine(dll) == machine, f"zorenc_{arch}.dll is not for machine {machine:#x}")
        file_version, product_version, strings = version_resource(dll)
        c.expect(file_version == version, f"zorenc_{arch}.dll: file version {file_version}")
        c.expect(product_version == version, f"zorenc_{arch}.dll: product version {product_version}")
        c.expect(strings.get("FileVersion") == args.version, f"zorenc_{arch}.dll: FileVersion text {strings}")
        c.expect(strings.get("ProductVersion") == args.version, f"zorenc_{arch}.dll: ProductVersion text")
        c.expect(strings.get("OriginalFilename") == f"zorenc_{arch}.dll", f"zorenc_{arch}.dll: OriginalFilename")
        c.expect(strings.get("ProductName") == "zorenc", f"zorenc_{arch}.dll: ProductName")
    tool = os.path.join(tree, "bin", "zorenc.exe")
    if os.path.exists(tool):
        c.expect(pe_machine(tool) == 0x8664, "bin/zorenc.exe is not the 64-bit tool")
    for name in members:
        c.expect(not re.search(r"\.so(\.\d+)*$", name), f"a Linux library: {name}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kind", choices=("linux", "windows"), required=True)
    parser.add_argument("--archive", required=True)
    parser.add_argument("--unpacked", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--forbid", action="append", default=[])
    args = parser.parse_args()

    top = f"zorenc-{args.version}-" + ("linux-x86_64" if args.kind == "linux" else "windows")
    expected_name = top + (".tar.gz" if args.kind == "linux" else ".zip")
    c = Checker()
    c.expect(os.path.basename(args.archive) == expected_name, f"archive name is not {expected_name}")
    members = list_archive(args.archive)
    tree = os.path.join(args.unpacked, top)
    check_common(c, members, top, tree, args)
    (check_linux if args.kind == "linux" else check_windows)(c, members, top, tree, args)

    for e in c.errors:
        print("FAIL:", e)
    files = sum(1 for kind in members.values() if kind != "dir")
    print(f"{os.path.basename(args.archive)}: {files} files and links, {len(c.errors)} problems")
    return 1 if c.errors else 0


if __name__ == "__main__":
    sys.exit(main())
