#!/usr/bin/env bash
# Builds the three deliverables and shows where they are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${ZORENC_BUILD_ROOT:-$root/build}
bash scripts/setup.sh
for spec in "win64:$root/cmake/mingw-w64-x86_64.cmake" "win32:$root/cmake/mingw-w64-i686.cmake" "native:"; do
    name=${spec%%:*}
    toolchain=${spec#*:}
    args=(-DZORENC_TESTS=OFF)
    [ -n "$toolchain" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
    cmake -S "$root" -B "$out/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
    ninja -C "$out/$name" >/dev/null
done
ls -l "$out/native/src/libzorenc_x64.so" "$out/win64/src/zorenc_x64.dll" "$out/win32/src/zorenc_x32.dll"
