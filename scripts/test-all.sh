#!/usr/bin/env bash
# Builds the three deliverables (native library, zorenc_x64.dll, zorenc_x32.dll)
# and runs every test. Installs what it needs first. Prints each stage's time.
#
# The stages in order: setup (what the Windows builds need), the Windows
# builds, the rest of setup (installed beside them), the native build, the
# tests, .NET, fuzzing, sanitizers and valgrind. Beside them, once everything
# is installed, the builds of the last two (the fuzzers, the ASan, TSan and
# valgrind builds) run at the lowest priority, so that they take only the
# processor time the other stages leave (link steps, configuration, tests
# waiting on ports and Wine); their output is shown when the stages that run
# them begin. NuGet's
# restore runs from the start, beside setup. A failed build step shows its
# error; every log is under build/ (build/logs and <folder>.build.log).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${ZORENC_BUILD_ROOT:-$root/build}
source scripts/lib.sh
jobs=$(nproc)
started=$(date +%s)
# Temporary files of the tests and the tools they run (Wine's server folders,
# Mono's scratch folders, the harness's work folders) go to the build tree,
# so that a run leaves nothing in /tmp.
export TMPDIR=$out/tmp
mkdir -p "$TMPDIR" "$out/logs"

# Sets cpu to the processor time of this script's finished child processes,
# user and system, in whole seconds (the second line of bash's `times`, which
# must run in this shell, not in a subshell: "1m2.345s 0m6.789s").
cpu=0
cpu_seconds() {
    times >"$out/logs/times"
    cpu=$(sed -n 2p "$out/logs/times" | awk '{
        s = 0
        for (i = 1; i <= 2; ++i) { split($i, p, /[ms]/); s += p[1] * 60 + p[2] }
        printf "%d\n", s }')
}

# Each stage's wall time and CPU time, printed when it ends and again, all of
# them, at the end of the run (also when a stage fails: the summary then ends
# with the failed one).
times_table=()
current_stage=""
stage() {
    local name=$1 t0 c0 line
    shift
    t0=$(date +%s)
    cpu_seconds
    c0=$cpu
    current_stage=$name
    stage_t0=$t0
    echo "== $name"
    "$@"
    cpu_seconds
    line=$(printf '%5d s  %6d CPU-s  %s' $(($(date +%s) - t0)) $((cpu - c0)) "$name")
    current_stage=""
    times_table+=("$line")
    echo "== $name: $(($(date +%s) - t0)) s ($((cpu - c0)) CPU-s)"
}
stage_t0=0
print_times() {
    echo "== stage times (wall, CPU of the stage's own processes):"
    local line
    for line in "${times_table[@]}"; do
        echo "   $line"
    done
    if [ -n "$current_stage" ]; then
        printf '   %5d s  %6s CPU-s  %s (FAILED)\n' $(($(date +%s) - stage_t0)) - "$current_stage"
    fi
    echo "   $(printf '%5d s' $(($(date +%s) - started)))  all stages"
}

configure() { # dir, extra cmake args...
    local dir=$1
    shift
    logged "$dir.configure.log" \
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

build_windows() {
    local arch
    for arch in x86_64:win64 i686:win32; do
        configure "$out/${arch#*:}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-${arch%:*}.cmake"
        logged "$out/${arch#*:}.build.log" ninja -C "$out/${arch#*:}"
    done
}

build_native() {
    configure "$out/native" -DZORENC_TESTS=ON -DZORENC_WIN_x64_DIR="$out/win64" \
        -DZORENC_WIN_x32_DIR="$out/win32"
    logged "$out/native.build.log" ninja -C "$out/native"
}

run_tests() {
    ctest --test-dir "$out/native" --output-on-failure -j "$jobs" --timeout 300
}

# The builds of the fuzz and reliability stages, in the background, niced, in
# a session of their own. Where the kernel groups the processes of a session
# for scheduling (autogroup), a nice value counts only inside the group and
# two groups share the processors equally: the group itself gets the lowest
# priority too, or the background builds would take half the machine from
# the stages that wait for them.
background_log=$out/logs/reliability-builds.log
background_pid=""
start_background_builds() {
    setsid bash -c '[ ! -w /proc/self/autogroup ] || echo 19 >/proc/self/autogroup
                    exec nice -n 19 bash scripts/reliability.sh --build fuzz asan tsan valgrind' \
        >"$background_log" 2>&1 </dev/null &
    background_pid=$!
}
# Waits for them (once), shows what they printed and fails if they did. What
# is left of them is no longer background work: back to normal priority
# (which only root may give back; others wait for the niced builds).
join_background_builds() {
    [ -n "$background_pid" ] || return 0
    local status=0 t0=$(date +%s)
    renice -n 0 -g "$background_pid" >/dev/null 2>&1 || true
    { echo 0 >"/proc/$background_pid/autogroup"; } 2>/dev/null || true
    wait "$background_pid" || status=$?
    background_pid=""
    echo "-- the reliability builds (in the background; waited $(($(date +%s) - t0)) s for them):"
    sed 's/^/   /' "$background_log"
    return $status
}
# The packages that only the native build and the tests need (Wine, the
# browser, the servers) install while the Windows builds run, at normal
# priority: the download waits on the network, and the unpacking shares the
# processors with the compilers.
rest_log=$out/logs/setup-rest.log
rest_pid=""
start_rest_of_setup() {
    bash scripts/setup.sh full >"$rest_log" 2>&1 </dev/null &
    rest_pid=$!
}
join_rest_of_setup() {
    [ -n "$rest_pid" ] || return 0
    local status=0
    wait "$rest_pid" || status=$?
    rest_pid=""
    echo "-- the rest of setup (beside the Windows builds; its whole output: $rest_log):"
    tail -n 15 "$rest_log" | sed 's/^/   /'
    return $status
}
# NuGet's restore of the .NET projects, from the start: it waits on the
# network and needs no build. A failure here shows again in the .NET stage.
restore_pid=""
if command -v dotnet >/dev/null 2>&1; then
    bash scripts/dotnet.sh --restore "$out" >"$out/logs/dotnet-restore.log" 2>&1 </dev/null &
    restore_pid=$!
fi
dotnet_stage() {
    if [ -n "$restore_pid" ]; then
        wait "$restore_pid" || echo "-- the early NuGet restore failed (build/logs/dotnet-restore.log)"
        restore_pid=""
    fi
    bash scripts/dotnet.sh "$out"
}

# Background work ends with the script, by its process id (one that has
# already ended is no error: the table of stage times must still follow).
on_exit() {
    [ -z "$background_pid" ] || kill -- "-$background_pid" 2>/dev/null || true
    [ -z "$restore_pid" ] || kill "$restore_pid" 2>/dev/null || true
    [ -z "$rest_pid" ] || wait "$rest_pid" 2>/dev/null || true
    print_times
}
trap on_exit EXIT

stage setup bash scripts/setup.sh build
start_rest_of_setup
stage "build Windows DLLs and test programs" build_windows
stage "join the rest of setup" join_rest_of_setup
start_background_builds
stage "build native" build_native
stage "tests" run_tests
stage ".NET library" dotnet_stage
stage "join the reliability builds" join_background_builds
stage "fuzz" bash scripts/reliability.sh --run fuzz
stage "sanitizers and valgrind" bash scripts/reliability.sh --run asan tsan valgrind
cpu_seconds
echo "== all stages: $(($(date +%s) - started)) s ($cpu CPU-s)"
# (the EXIT trap prints every stage's time once more)
