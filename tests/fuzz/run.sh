#!/usr/bin/env bash
# Replays each fuzz target's corpus, then fuzzes it for a bounded time.
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# BUILD_DIR is a clang build configured with -DZORENC_FUZZ=ON. The targets are
# fuzz_decode, fuzz_transaction, fuzz_config and fuzz_monitor, all by default;
# fuzz_<name> keeps its corpus in corpus/<name>. Several targets fuzz side by
# side, SECONDS each.
# Prints each target's executions; exits non-zero on a finding, which is
# copied into that target's corpus as regression_<name> to be kept once fixed.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
    exit 2
fi
build=$1
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_decode fuzz_transaction fuzz_config fuzz_monitor)
fi
here=$(cd "$(dirname "$0")" && pwd)
# The platform must never be left writing into the library's stack once a
# call has returned: catch such a write.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_stack_use_after_return=1}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$here/../../scripts/lib.sh"
if ! logged "$build.build.log" cmake --build "$build" --target "${targets[@]}"; then
    echo "cannot build ${targets[*]} in $build: it needs a clang build with -DZORENC_FUZZ=ON" \
        "in which tests/fuzz is added" >&2
    exit 2
fi

# Replays the corpus of one target, then fuzzes it; everything it prints goes
# to $work/<target>.out, and a finding makes it fail.
fuzz_one() {
    local target=$1
    local corpus=$here/corpus/${target#fuzz_}
    local dir=$work/$target
    mkdir -p "$dir/corpus" "$dir/artifacts"
    local fuzzer
    fuzzer=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
    if [ -z "$fuzzer" ]; then
        echo "$target not found in $build"
        return 2
    fi

    # Copies what the fuzzer left in the artifacts folder into the corpus.
    keep_findings() {
        for f in "$dir"/artifacts/*; do
            [ -e "$f" ] || continue
            cp "$f" "$corpus/regression_$(basename "$f")"
            echo "finding kept as $corpus/regression_$(basename "$f")"
        done
    }

    echo "$target: replaying $(ls "$corpus" | wc -l) corpus inputs"
    if ! "$fuzzer" -runs=0 -artifact_prefix="$dir/artifacts/" "$corpus" >"$dir/replay.log" 2>&1; then
        tail -n 30 "$dir/replay.log"
        keep_findings
        return 1
    fi

    echo "$target: fuzzing for $seconds s"
    # New inputs go to the scratch corpus; the seed corpus is only read.
    local status=0
    "$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" "$corpus" >"$dir/fuzz.log" 2>&1 ||
        status=$?
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/fuzz.log" | grep -o '[0-9]*$' ||
        true)
    echo "$target: executions: ${runs:-unknown} in $seconds s"
    if [ $status -ne 0 ] || [ -n "$(ls -A "$dir/artifacts")" ]; then
        tail -n 40 "$dir/fuzz.log"
        keep_findings
        return 1
    fi
}

# One target per core: each fuzzer is a single process.
pids=()
for target in "${targets[@]}"; do
    fuzz_one "$target" >"$work/$target.out" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    status=0
    wait "${pids[$i]}" || status=$?
    cat "$work/${targets[$i]}.out"
    if [ $status -ne 0 ]; then
        failed=1
    fi
done
exit $failed
