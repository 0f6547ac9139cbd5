#!/usr/bin/env bash
# Reliability runs of the native library and its tests, each in a build
# folder of its own:
#
#   asan      AddressSanitizer + UndefinedBehaviorSanitizer build of every
#             native GoogleTest program (<build>/asan), all their tests
#   tsan      ThreadSanitizer build of the programs whose tests use threads:
#             the simulated board, raw reads aborted from another thread, the
#             serial port on a pseudo-terminal, the bad-input sweep, the
#             toolkit's threads and probe (<build>/tsan)
#   valgrind  memcheck over the transaction, stream and device tests of a
#             plain Debug build (<build>/valgrind): no error, nothing
#             definitely lost
#   sweep     only the bad-input sweep of the 82 exports, in the asan build
#   fuzz      the libFuzzer targets, ZORENC_FUZZ_SECONDS each (default 30),
#             side by side, in the clang build <build>/fuzz
#   all       asan, tsan, valgrind and fuzz
#
#   scripts/reliability.sh [--build|--run] [asan|tsan|valgrind|sweep|fuzz|all]...
#
#   --build   only configure and build what the parts run (the test command
#             builds them beside its other work)
#   --run     only run them; what is not built yet is built first
#
# <build> is ZORENC_BUILD_ROOT (default ./build). Any finding fails the run;
# each part prints its time. Needs what scripts/setup.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib.sh
out=${ZORENC_BUILD_ROOT:-$root/build}
fuzz_seconds=${ZORENC_FUZZ_SECONDS:-30}
step=all # build, run or all

# Findings end the program at once, so that ctest sees a failure.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:handle_abort=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:second_deadlock_stack=1}

# Tests that are not programs of this build (Python, Wine, the tool's
# scripts, the export checks), and the soak (a minute of random faults, run
# once by the plain test command).
not_ours='^(tool_|wine_|header_|dll_|ports_|python|capture_tshark)'
not_here_labels='soak'

# The programs whose tests run threads: the in-process simulated board serves
# on a thread of its own, the stream tests raise abort flags from another one,
# the fault tests drive handles from several threads.
threaded_programs='^(behaviour_tests|device_board_tests|sim_tests|serial_pty_tests|hardening_tests|faults_threads|companion_tests|capture_tests)$'

# Memcheck runs these programs with these filters: register transactions
# (replies, faults, time-outs), raw reads and callbacks, a few device
# functions, and the bad-input sweep without its 2 GiB reads.
valgrind_runs=(
    "behaviour_tests Transactions.*:HandlerTable.*:Callbacks.*:Stream.ReadGathers*:Stream.ReadUntil*"
    "device_board_tests DeviceFunctions.Setters*:DeviceFunctions.IntegerGetters*:DeviceFunctions.NoReply*"
    "hardening_tests Sweep.InvalidHandles*:Sweep.AClosedPort*:Sweep.NullPointers*:Sweep.OutOfRange*"
)

# Debug information for these builds (ASan, TSan, valgrind, the fuzzers): line
# tables and function names, which their reports show; the variables'
# locations, which they do not, would cost about 40% more compile time.
line_tables=(-DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1)

configure() { # dir, flags, extra cmake args...
    local dir=$1 flags=$2
    shift 2
    # A folder already configured for the run step keeps its settings.
    if [ "$step" = run ] && [ -f "$dir/CMakeCache.txt" ]; then
        return 0
    fi
    logged "$dir.configure.log" \
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZORENC_TESTS=ON \
        -DZORENC_FUZZ=OFF -DZORENC_WIN_x64_DIR= -DZORENC_WIN_x32_DIR= \
        "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
        "-DCMAKE_EXE_LINKER_FLAGS=$flags" "-DCMAKE_SHARED_LINKER_FLAGS=$flags" \
        "$@" || return 1
}

# Reads the tests of a configured build. With "targets": the programs to
# build for the tests we run (a discovered GoogleTest program shows as
# <program>_NOT_BUILT until it is built). With "exclude": a ctest -E pattern
# for the tests we do not run, including those whose program is not built.
tests_of() { # dir, targets|exclude, [program pattern]
    local dir=$1
    ctest --test-dir "$dir" --show-only=json-v1 | python3 -c '
import json, os, re, sys
dir, mode, not_ours, labels_out = sys.argv[1:5]
programs = re.compile(sys.argv[5] if len(sys.argv) > 5 else ".")
targets, skipped = set(), []
for test in json.load(sys.stdin)["tests"]:
    name = test["name"]
    labels = {v for p in test.get("properties", []) if p["name"] == "LABELS" for v in p["value"]}
    command = (test.get("command") or [None])[0]
    if re.search(not_ours, name) or labels & set(labels_out.split(",")):
        skipped.append(name)
        continue
    if name.endswith("_NOT_BUILT"):
        target = name[: -len("_NOT_BUILT")]
    elif command is None:
        target = name  # add_test(NAME x COMMAND x) of a program not built yet
    elif os.path.realpath(command).startswith(os.path.realpath(dir) + os.sep):
        target = os.path.basename(command)
    else:
        skipped.append(name)
        continue
    if not programs.search(target):
        skipped.append(name)
        continue
    targets.add(target)
    if command is None or not os.path.isfile(command):
        skipped.append(name)
if mode == "targets":
    print("\n".join(sorted(targets)))
else:
    special = re.compile(r"([][.*+?(){}^$|\\])")
    print("^(" + "|".join(special.sub(r"\\\1", n) for n in skipped) + ")$" if skipped else "^$")
' "$dir" "$2" "$not_ours" "$not_here_labels" "${3:-.}"
}

# Builds the programs of the tests we run in a configured build (those that
# match the program pattern), then runs those tests.
build_and_test() { # dir, [program pattern]
    local dir=$1 pattern=${2:-.} known targets=()
    known=$(ninja -C "$dir" -t targets all | sed -n 's/^\([A-Za-z0-9_.+-]*\): phony$/\1/p')
    while read -r target; do
        if [ -n "$target" ] && grep -qxF "$target" <<<"$known"; then
            targets+=("$target")
        fi
    done < <(tests_of "$dir" targets "$pattern")
    [ "$step" = run ] || echo "programs: ${targets[*]}"
    if [ ${#targets[@]} -gt 0 ]; then
        build "$dir" "${targets[@]}"
    fi
    if [ "$step" != build ]; then
        run_ctest "$dir" -E "$(tests_of "$dir" exclude "$pattern")"
    fi
}

build() { # dir, targets...
    local dir=$1
    shift
    logged "$dir.build.log" ninja -C "$dir" "$@"
}

run_ctest() { # dir, ctest args...
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure -j 2 --timeout 300 "$@"
}

asan_dir=$out/asan
asan_build() {
    mkdir -p "$out"
    # float-cast-overflow is not part of GCC's "undefined": doubles that do not fit
    # an integer must be refused before they are converted.
    configure "$asan_dir" "-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer" \
        "${line_tables[@]}"
}

run_asan() {
    asan_build
    build_and_test "$asan_dir"
}

run_sweep() {
    asan_build
    build "$asan_dir" hardening_tests
    [ "$step" = build ] || run_ctest "$asan_dir" -R '^Sweep\.'
}

run_tsan() {
    local dir=$out/tsan
    mkdir -p "$out"
    configure "$dir" "-fsanitize=thread -fno-omit-frame-pointer -O1" "${line_tables[@]}"
    build_and_test "$dir" "$threaded_programs"
}

run_valgrind() {
    local dir=$out/valgrind
    mkdir -p "$out"
    configure "$dir" "-O1" "${line_tables[@]}"
    local programs=()
    for entry in "${valgrind_runs[@]}"; do
        programs+=("${entry%% *}")
    done
    build "$dir" "${programs[@]}"
    [ "$step" != build ] || return 0
    local failed=0
    for entry in "${valgrind_runs[@]}"; do
        local program=${entry%% *} filter=${entry#* }
        local exe log status=0
        exe=$(find "$dir" -type f -name "$program" -perm -u+x | head -n 1)
        log=$dir/memcheck.$program.log
        echo "memcheck: $program --gtest_filter=$filter"
        valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
            --show-leak-kinds=definite --track-origins=yes --fair-sched=yes --log-file="$log" \
            "$exe" --gtest_filter="$filter" --gtest_brief=1 >"$log.out" 2>&1 || status=$?
        grep -E '^\[  (PASSED|FAILED) ' "$log.out" || tail -n 20 "$log.out"
        # The pseudo-terminal ioctls valgrind does not know are noise.
        grep -vE 'unhandled ioctl|spurious value errors|README_MISSING_SYSCALL' "$log" |
            grep -E 'ERROR SUMMARY|definitely lost|Invalid|uninitialised|at 0x|by 0x' || true
        if [ $status -ne 0 ]; then
            echo "memcheck: $program failed (status $status), see $log" >&2
            failed=1
        fi
    done
    return $failed
}

run_fuzz() {
    local dir=$out/fuzz
    mkdir -p "$out"
    if [ "$step" != run ] || [ ! -f "$dir/CMakeCache.txt" ]; then
        CC=clang CXX=clang++ logged "$dir.configure.log" cmake -S "$root" -B "$dir" -G Ninja \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORENC_FUZZ=ON -DZORENC_TESTS=OFF \
            "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
            "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
    fi
    if [ "$step" = build ]; then
        build "$dir" fuzzers
    else
        bash tests/fuzz/run.sh "$dir" "$fuzz_seconds"
    fi
}

part() {
    local name=$1 t0 label=$1
    [ "$step" = all ] || label="$name ($step)"
    t0=$(date +%s)
    echo "== $label"
    "run_$name"
    echo "== $label: $(($(date +%s) - t0)) s"
}

case ${1:-} in
--build) step=build; shift ;;
--run) step=run; shift ;;
esac
if [ $# -eq 0 ]; then
    set -- all
fi
for arg in "$@"; do
    case $arg in
    asan | tsan | valgrind | sweep | fuzz) ;;
    all) ;;
    *)
        echo "usage: $0 [--build|--run] [asan|tsan|valgrind|sweep|fuzz|all]..." >&2
        exit 2
        ;;
    esac
done
for arg in "$@"; do
    if [ "$arg" = all ]; then
        for name in asan tsan valgrind fuzz; do
            part "$name"
        done
    else
        part "$arg"
    fi
done
