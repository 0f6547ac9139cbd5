#!/usr/bin/env bash
# Builds the three deliverables (native library, zorenc_x64.dll, zorenc_x32.dll)
# and runs every test. Installs what it needs first. Prints each stage's time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${ZORENC_BUILD_ROOT:-$root/build}
jobs=$(nproc)
started=$(date +%s)
# Temporary files of the tests and the tools they run (Wine's server folders,
# Mono's scratch folders, the harness's work folders) go to the build tree,
# so that a run leaves nothing in /tmp.
export TMPDIR=$out/tmp
mkdir -p "$TMPDIR"

stage() {
    local name=$1
    shift
    local t0=$(date +%s)
    echo "== $name"
    "$@"
    echo "== $name: $(( $(date +%s) - t0 )) s"
}

configure() { # dir, extra cmake args...
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

build_windows() {
    configure "$out/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    ninja -C "$out/win64" >/dev/null
    configure "$out/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake"
    ninja -C "$out/win32" >/dev/null
}

build_native() {
    configure "$out/native" -DZORENC_TESTS=ON -DZORENC_WIN_x64_DIR="$out/win64" \
        -DZORENC_WIN_x32_DIR="$out/win32"
    ninja -C "$out/native" >/dev/null
}

build_fuzz() {
    CC=clang CXX=clang++ configure "$out/fuzz" -DZORENC_FUZZ=ON -DZORENC_TESTS=OFF
    ninja -C "$out/fuzz" fuzz_decode fuzz_transaction fuzz_config >/dev/null
}

run_tests() {
    ctest --test-dir "$out/native" --output-on-failure -j "$jobs" --timeout 300
}

stage setup bash scripts/setup.sh full
stage "build windows DLLs" build_windows
stage "build native" build_native
if [ -f tests/fuzz/run.sh ]; then
    stage "build fuzzers" build_fuzz
    stage "fuzz" bash tests/fuzz/run.sh "$out/fuzz" "${ZORENC_FUZZ_SECONDS:-30}"
fi
stage "tests" run_tests
stage ".NET library" bash scripts/dotnet.sh "$out"
stage "sanitizers and valgrind" bash scripts/reliability.sh asan tsan valgrind
echo "== all stages: $(( $(date +%s) - started )) s"
