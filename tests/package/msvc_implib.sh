#!/usr/bin/env bash
# Proves a tree's MSVC import library (lib/zorenc_<arch>.lib) the way an MSVC
# client uses it: consumer.c compiled by clang for the *-windows-msvc target
# (x32: __stdcall, references _Name@N) and linked by lld-link against the .lib
# alone, with no C runtime. Every one of the 82 imports must resolve to the
# DLL under its exported name; the program then runs under Wine.
#
# usage: msvc_implib.sh ARCH TREE WORK VERSION [WINE_ROOT]
set -euo pipefail
arch=$1
tree=$(cd "$2" && pwd)
work=$3
version=$4
wine_root=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

case $arch in
x32) target=i686-pc-windows-msvc machine=x86 ;;
x64) target=x86_64-pc-windows-msvc machine=x64 ;;
*) echo "msvc_implib.sh: unknown arch $arch" >&2; exit 2 ;;
esac
lib=$tree/lib/zorenc_$arch.lib
[ -f "$lib" ] || { echo "no $lib"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cp "$here/consumer.c" "$root/src/exports.inc" "$work/"
clang --target=$target -std=c99 -ffreestanding -fno-builtin -fno-stack-protector -O1 \
    -Wall -Wextra -Werror -pedantic -DCONSUMER_FREESTANDING "-DEXPECTED_VERSION=\"$version\"" \
    -I"$tree/include" -I"$work" -c "$work/consumer.c" -o "$work/consumer.obj"
lld-link /nologo /nodefaultlib /entry:consumer_start /subsystem:console /machine:$machine \
    "$work/consumer.obj" "$lib" /out:"$work/consumer-msvc.exe"
python3 "$here/check_imports.py" --exe "$work/consumer-msvc.exe" --dll "zorenc_$arch.dll" \
    --arch "$arch" --exports "$root/src/exports.inc" --only
if [ -n "$wine_root" ]; then
    bash "$root/tests/wine/run.sh" --root "$wine_root" --dll-dir "$tree/bin" --timeout 60 -- \
        "$work/consumer-msvc.exe"
fi
echo "msvc_implib.sh: $arch passed"
