#!/usr/bin/env bash
# Builds consumer.c against an unpacked install tree, as a user would, and
# runs it against a simulated board.
#
# usage: consumer.sh MODE TREE WORK VERSION SIM [WINE_ROOT]
#   MODE       native: cc with pkg-config, and a CMake project with
#              find_package; both run natively, with the tree's own zorenc
#              tool. mingw-x64 / mingw-x32: the MinGW compiler with the
#              tree's zorenc_<arch>.pc, and the CMake project with the MinGW
#              toolchain; imports checked, both run under Wine.
#   TREE       the unpacked archive (include/, lib/, bin/)
#   WORK       scratch folder (emptied)
#   VERSION    the version the headers and package must carry
#   SIM        the zorenc-sim program
#   WINE_ROOT  where the Wine prefixes live; without it the Windows programs
#              are built and checked but not run
set -euo pipefail
mode=$1
tree=$(cd "$2" && pwd)
work=$3
version=$4
sim=$5
wine_root=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
harness=$root/tests/wine/run.sh

rm -rf "$work"
mkdir -p "$work"
cp "$here/consumer.c" "$root/src/exports.inc" "$work/"
cflags=(-std=c99 -Wall -Wextra -Werror -pedantic "-DEXPECTED_VERSION=\"$version\"" -I"$work")

pc() { # NAME ARGS...: pkg-config restricted to the tree
    local name=$1
    shift
    PKG_CONFIG_PATH="" PKG_CONFIG_LIBDIR="$tree/lib/pkgconfig" pkg-config "$@" "$name"
}

cmake_consumer() { # BUILD-DIR EXTRA-ARGS...
    local dir=$1
    shift
    cmake -S "$here/consumer" -B "$dir" -G Ninja -DCMAKE_PREFIX_PATH="$tree" \
        -DCONSUMER_SOURCE_DIR="$work" -DEXPECTED_VERSION="$version" "$@" >"$dir.log" ||
        { cat "$dir.log"; exit 1; }
    cmake --build "$dir" >>"$dir.log" || { cat "$dir.log"; exit 1; }
}

case $mode in
native)
    [ "$(pc zorenc --modversion)" = "$version" ] || { echo "zorenc.pc: wrong version"; exit 1; }
    # shellcheck disable=SC2046
    cc "${cflags[@]}" "$work/consumer.c" $(pc zorenc --cflags --libs) -Wl,-rpath,"$tree/lib" \
        -o "$work/consumer-pc"
    readelf -d "$work/consumer-pc" | grep -q 'NEEDED.*\[libzorenc_x64\.so\.[0-9]*\]' ||
        { echo "consumer-pc does not need libzorenc_x64.so.<major>"; exit 1; }
    cmake_consumer "$work/cmake"
    # Both programs and the installed tool, against the installed simulator.
    bash "$harness" --native --timeout 60 --sim "$tree/bin/zorenc-sim" -- \
        sh -c '"$0" && "$1" && "$2" --port "$ZORENC_TEST_PORT" info' \
        "$work/consumer-pc" "$work/cmake/consumer" "$tree/bin/zorenc"
    ;;
mingw-x64 | mingw-x32)
    arch=${mode#mingw-}
    if [ "$arch" = x64 ]; then cpu=x86_64; else cpu=i686; fi
    triple=$cpu-w64-mingw32
    [ "$(pc "zorenc_$arch" --modversion)" = "$version" ] || { echo "zorenc_$arch.pc: wrong version"; exit 1; }
    # shellcheck disable=SC2046
    "$triple-gcc" "${cflags[@]}" "$work/consumer.c" $(pc "zorenc_$arch" --cflags --libs) \
        -static-libgcc -o "$work/consumer-pc.exe"
    cmake_consumer "$work/cmake" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$cpu.cmake"
    for exe in "$work/consumer-pc.exe" "$work/cmake/consumer.exe"; do
        python3 "$here/check_imports.py" --exe "$exe" --dll "zorenc_$arch.dll" --arch "$arch" \
            --exports "$root/src/exports.inc"
        if [ -n "$wine_root" ]; then
            bash "$harness" --root "$wine_root" --dll-dir "$tree/bin" --timeout 60 --sim "$sim" -- "$exe"
        fi
    done
    ;;
*)
    echo "consumer.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
echo "consumer.sh: $mode passed"
