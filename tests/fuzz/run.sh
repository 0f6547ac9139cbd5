#!/usr/bin/env bash
# Replays the decoder's corpus, then fuzzes it for a bounded time.
#   tests/fuzz/run.sh BUILD_DIR SECONDS
# BUILD_DIR is a clang build configured with -DZORENC_FUZZ=ON. Prints the
# number of executions; exits non-zero on a finding, which is copied into the
# corpus as regression_<name> to be kept once fixed.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus/decode

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"

if ! cmake --build "$build" --target fuzz_decode >"$work/build.log" 2>&1; then
    tail -n 20 "$work/build.log" >&2
    echo "cannot build fuzz_decode in $build: it needs a clang build with -DZORENC_FUZZ=ON" \
        "in which tests/fuzz is added" >&2
    exit 2
fi
fuzzer=$(find "$build" -type f -name fuzz_decode -perm -u+x | head -n 1)
if [ -z "$fuzzer" ]; then
    echo "fuzz_decode not found in $build" >&2
    exit 2
fi

# Copies what the fuzzer left in the artifacts folder into the corpus.
keep_findings() {
    for f in "$work"/artifacts/*; do
        [ -e "$f" ] || continue
        cp "$f" "$corpus/regression_$(basename "$f")"
        echo "finding kept as $corpus/regression_$(basename "$f")" >&2
    done
}

echo "replaying $(ls "$corpus" | wc -l) corpus inputs"
if ! "$fuzzer" -runs=0 -artifact_prefix="$work/artifacts/" "$corpus" >"$work/replay.log" 2>&1; then
    tail -n 30 "$work/replay.log" >&2
    keep_findings
    exit 1
fi

echo "fuzzing for $seconds s"
# New inputs go to the scratch corpus; the seed corpus is only read.
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$corpus" >"$work/fuzz.log" 2>&1 || status=$?
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/fuzz.log" | grep -o '[0-9]*$' || true)
echo "executions: ${runs:-unknown} in $seconds s"
if [ $status -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
    tail -n 40 "$work/fuzz.log" >&2
    keep_findings
    exit 1
fi
