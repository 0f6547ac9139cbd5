#!/usr/bin/env bash
# The main job: builds the native library, the simulated board and the zorenc
# tool, then takes a short tour of a simulated board: board info, a trigger on
# channel 0, the virtual encoder started, and a few seconds of live status.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${ZORENC_BUILD_ROOT:-$root/build}
source scripts/lib.sh
bash scripts/setup.sh minimal
# A fresh folder is configured without the tests, which need the full set of
# packages; a folder that scripts/test-all.sh configured keeps its settings.
tests=()
[ -f "$out/native/CMakeCache.txt" ] || tests=(-DZORENC_TESTS=OFF)
echo "run: building the library, the simulated board and the zorenc tool in $out/native"
logged "$out/native.configure.log" \
    cmake -S "$root" -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}"
logged "$out/native.build.log" ninja -C "$out/native" zorenc zorenc-sim zorenc_x64
exec "$out/native/cli/zorenc" --sim tour "$@"
