#!/usr/bin/env bash
# Makes the release archives from the build folders into OUT (as the
# `archives` target does) and unpacks each into OUT/unpacked, where the other
# package tests find the trees that a user would get.
#
# usage: make_archives.sh OUT NATIVE_DIR [WIN64_DIR WIN32_DIR]
set -euo pipefail
out=$1
native=$2
win64=${3:-}
win32=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

rm -rf "$out"
mkdir -p "$out/unpacked"
cmake -DNATIVE_DIR="$native" -DWIN64_DIR="$win64" -DWIN32_DIR="$win32" -DOUT_DIR="$out" \
    -P "$root/packaging/archives.cmake"
shopt -s nullglob
for archive in "$out"/*.tar.gz "$out"/*.zip; do
    (cd "$out/unpacked" && cmake -E tar xf "$archive")
done
ls "$out/unpacked"
