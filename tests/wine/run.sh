#!/usr/bin/env bash
# Runs one test program, optionally against a simulated board, and passes its
# exit code through. Windows programs (64-bit or 32-bit) run under Wine.
#
# usage: run.sh [options] [--] PROGRAM [ARGS...]
#   --root DIR        where the Wine prefixes live, one set per build folder
#                     (default: $ZORENC_WINE_ROOT, else /tmp/zorenc-wine-$UID)
#   --dll-dir DIR     a folder Windows searches for DLLs (WINEPATH); repeatable
#   --timeout SEC     time limit of the program (default 120)
#   --sim PROGRAM     start this board simulator first; it prints the pty slave
#                     path on its first line of stdout and runs until SIGTERM
#   --sim-arg ARG     an argument for the simulator; repeatable
#   --sim-wait SEC    how long the simulator may take to print it (default 15)
#   --pty PATH        a pty slave to use without starting a simulator
#   --native          run PROGRAM directly, without Wine
#
# With a port (--sim or --pty), COM7 and COM12 of the prefix lead to the pty
# slave and the program finds in its environment
#   ZORENC_TEST_PORT       COM7 under Wine, the pty slave path natively
#   ZORENC_TEST_PORT_LONG  \\.\COM12 under Wine (the device-namespace form that
#                          names of five characters or more need), the pty
#                          slave path natively
#   ZORENC_SIM_PID         the simulator's process id (with --sim)
#
# With ZORENC_WINE_PORTS=1 in the environment, COM7 is also declared in the
# prefix's HKLM\Software\Wine\Ports before its wineserver starts, so that
# Wine lists it in HARDWARE\DEVICEMAP\SERIALCOMM as it would a real port.
#
# Exit code: the program's; 124 when it ran out of time; 125 when the harness
# itself failed (no prefix, the simulator gave no port...); 77 (skipped) for a
# 32-bit program on a kernel that runs no 32-bit code (no IA-32 emulation, as
# in some virtual machines), where only Wine's 64-bit loader runs.
#
# The prefixes: ROOT/template is made once by wineboot (about 15 s). Each run
# takes a slot ROOT/slotN, a hard-linked copy of the template locked for that
# run alone, so that runs in parallel have their own wineserver and their own
# COM links; the slot's wineserver is shut down when the run ends. Wine writes
# nothing outside ROOT: its menu builder is off, and its home is ROOT/home.
set -uo pipefail

root=${ZORENC_WINE_ROOT:-${TMPDIR:-/tmp}/zorenc-wine-$(id -u)}
dll_dirs=()
limit=120
sim=""
sim_args=()
sim_wait=15
pty=""
native=0

die() {
    echo "run.sh: $*" >&2
    exit 125
}

while [ $# -gt 0 ]; do
    case $1 in
    --root) root=$2; shift 2 ;;
    --dll-dir) dll_dirs+=("$2"); shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --sim-arg) sim_args+=("$2"); shift 2 ;;
    --sim-wait) sim_wait=$2; shift 2 ;;
    --pty) pty=$2; shift 2 ;;
    --native) native=1; shift ;;
    --) shift; break ;;
    -*) die "unknown option $1" ;;
    *) break ;;
    esac
done
[ $# -ge 1 ] || die "no program given"
program=$1
shift
[[ $limit =~ ^[0-9]+$ ]] && [ "$limit" -gt 0 ] || die "bad --timeout $limit"
[[ $sim_wait =~ ^[0-9]+$ ]] && [ "$sim_wait" -gt 0 ] || die "bad --sim-wait $sim_wait"

work=$(mktemp -d "${TMPDIR:-/tmp}/zorenc-run.XXXXXX") || die "no temporary folder"
sim_pid=""
prefix=""
slot_lock=""
child=""
unset DISPLAY WAYLAND_DISPLAY # no window, ever
# No Mono or Gecko installer, and no menu entries or file associations in the
# user's ~/.config and ~/.local (winemenubuilder, run by wineboot).
overrides="mscoree,mshtml=;winemenubuilder.exe=d"

# Wine's loader. Debian's `wine` starts the 32-bit one whenever wine32 is
# installed, which then fails on a kernel without 32-bit support: there the
# 64-bit loader runs the 64-bit programs, and 32-bit ones are skipped.
wine=wine
choose_loader() {
    [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
        [ -x /usr/lib/wine/wine64 ] || return 0
    wine=/usr/lib/wine/wine64
    export WINELOADER=$wine
    # The PE header's machine field: 0x014C is a 32-bit x86 program.
    local offset machine
    offset=$(od -An -t u4 -j 60 -N 4 "$program" 2>/dev/null | tr -d ' ')
    machine=$(od -An -t x2 -j $((${offset:-0} + 4)) -N 2 "$program" 2>/dev/null | tr -d ' ')
    if [ "$machine" = 014c ]; then
        echo "run.sh: skipped: this kernel runs no 32-bit programs (no IA-32 emulation)," \
            "so Wine cannot run $program" >&2
        exit 77
    fi
}

alive() { # PID: running, not a zombie waiting for this script to collect it
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}

cleanup() {
    local rc=$?
    if [ -n "$child" ]; then
        kill -TERM "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null
        for _ in $(seq 50); do
            alive "$sim_pid" || break
            sleep 0.1
        done
        kill -KILL "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    if [ -n "$prefix" ]; then
        WINEPREFIX=$prefix wineserver -k 2>/dev/null
        WINEPREFIX=$prefix timeout 20 wineserver -w 2>/dev/null
    fi
    if [ "$rc" -ne 0 ] && [ -s "$work/sim.err" ]; then
        echo "run.sh: the simulator's standard error:" >&2
        tail -n 20 "$work/sim.err" >&2
    fi
    rm -rf "$work"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# Locks a free slot, waiting for one if need be; the lock is held (its
# descriptor slot_lock open, in this script only) until the script exits.
# Sets prefix.
take_slot() {
    local i
    mkdir -p "$root" && root=$(realpath "$root") || die "cannot create $root"
    for i in 0 1 2 3 4 5 6 7; do
        exec {slot_lock}>"$root/slot$i.lock"
        flock -n "$slot_lock" && break
        exec {slot_lock}>&-
        slot_lock=""
    done
    if [ -z "$slot_lock" ]; then
        i=$((RANDOM % 8))
        exec {slot_lock}>"$root/slot$i.lock"
        flock -w 600 "$slot_lock" || die "timed out waiting for a free prefix slot"
    fi
    prefix=$root/slot$i
}

# Makes the template prefix when there is none or Wine has changed, and
# refreshes the slot's copy of it.
prepare_prefix() {
    local stamp lock f
    stamp="$("$wine" --version) $(stat -c %Y /usr/share/wine/wine.inf 2>/dev/null)"
    exec {lock}>"$root/template.lock"
    flock -w 600 "$lock" || die "timed out waiting for $root/template.lock"
    if [ "$(cat "$root/template/.zorenc-stamp" 2>/dev/null)" != "$stamp" ]; then
        echo "run.sh: creating the Wine prefix $root/template" >&2
        local t0=$SECONDS
        rm -rf "$root/template"
        # wineboot fails now and then on a busy machine: a second try, from
        # scratch, and its output kept for when that fails too.
        local attempt made=0
        for attempt in 1 2; do
            rm -rf "$root/template.new"
            WINEPREFIX=$root/template.new WINEDEBUG=err+all WINEDLLOVERRIDES=$overrides \
                timeout 300 "$wine" wineboot -i >"$root/wineboot.log" 2>&1 && made=1
            WINEPREFIX=$root/template.new wineserver -k 2>/dev/null
            WINEPREFIX=$root/template.new timeout 20 wineserver -w 2>/dev/null
            [ $made -eq 0 ] || break
            echo "run.sh: wineboot failed (attempt $attempt of 2): $root/wineboot.log" >&2
        done
        if [ $made -eq 0 ]; then
            tail -n 20 "$root/wineboot.log" >&2
            die "wineboot failed"
        fi
        echo "$stamp" >"$root/template.new/.zorenc-stamp"
        mv "$root/template.new" "$root/template" || die "cannot move the new prefix into place"
        echo "run.sh: prefix created in $((SECONDS - t0)) s" >&2
    fi
    if ! cmp -s "$prefix/.zorenc-stamp" "$root/template/.zorenc-stamp"; then
        rm -rf "$prefix" "$prefix.new"
        if ! cp -al "$root/template" "$prefix.new" 2>/dev/null; then
            rm -rf "$prefix.new" # no hard links here: a full copy
            cp -a "$root/template" "$prefix.new" || die "cannot copy the prefix to $prefix"
        fi
        # Files that Wine rewrites get copies of their own.
        for f in system.reg user.reg userdef.reg .update-timestamp .zorenc-stamp; do
            cp --remove-destination "$root/template/$f" "$prefix.new/$f" || die "cannot copy $f"
        done
        mv "$prefix.new" "$prefix" || die "cannot move $prefix into place"
    fi
    exec {lock}>&-
}

start_sim() {
    command -v "$sim" >/dev/null || die "no simulator $sim"
    "$sim" "${sim_args[@]}" >"$work/sim.out" 2>"$work/sim.err" </dev/null &
    sim_pid=$!
    local deadline=$((SECONDS + sim_wait))
    while ! [ "$(wc -l <"$work/sim.out")" -ge 1 ]; do
        alive "$sim_pid" || die "the simulator ended before printing its port"
        [ $SECONDS -lt $deadline ] || die "the simulator printed no port within $sim_wait s"
        sleep 0.05
    done
    pty=$(head -n 1 "$work/sim.out")
    export ZORENC_SIM_PID=$sim_pid
}

if [ -n "$sim" ]; then
    start_sim
fi
if [ -n "$pty" ]; then
    [ -c "$pty" ] || die "$pty is not a character device"
fi

if [ $native -eq 1 ]; then
    if [ -n "$pty" ]; then
        export ZORENC_TEST_PORT=$pty ZORENC_TEST_PORT_LONG=$pty
    fi
    timeout -k 5 "$limit" "$program" "$@" &
    child=$!
    wait "$child"
    rc=$?
    child=""
else
    command -v wine >/dev/null || die "wine is not installed"
    [ -f "$program" ] || die "no program $program"
    choose_loader
    take_slot
    # Wine's own files of the user (its caches, the menu builder's were it on)
    # go to the root's home, in the build tree.
    mkdir -p "$root/home" || die "cannot create $root/home"
    export HOME=$root/home XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share \
        XDG_CACHE_HOME=$root/home/.cache
    prepare_prefix
    rm -f "$prefix/dosdevices/com7" "$prefix/dosdevices/com12"
    if [ -n "$pty" ]; then
        ln -s "$pty" "$prefix/dosdevices/com7" && ln -s "$pty" "$prefix/dosdevices/com12" ||
            die "cannot link the COM ports"
        export ZORENC_TEST_PORT=COM7 ZORENC_TEST_PORT_LONG='\\.\COM12'
    fi
    # COM7 declared in Software\Wine\Ports for this run only (the section
    # goes from system.reg otherwise, so no stale pty is left declared).
    declared=""
    if [ "${ZORENC_WINE_PORTS:-0}" = 1 ] && [ -n "$pty" ]; then
        declared=$pty
    fi
    awk -v pty="$declared" '
        /^\[Software\\\\Wine\\\\Ports\]/ { skip = 1; next }
        skip && /^\[/ { skip = 0 }
        !skip { print }
        END { if (pty != "") printf "\n[Software\\\\Wine\\\\Ports]\n\"COM7\"=\"%s\"\n", pty }
    ' "$prefix/system.reg" >"$work/system.reg" && cp "$work/system.reg" "$prefix/system.reg" ||
        die "cannot declare the ports in system.reg"
    # A server of the run's own, ended with it; on being ended it dumps its
    # objects to its standard error, which is no part of the test's output.
    # One left by a run that was killed outright goes first; and should this
    # run be killed outright, its server ends 10 s after its last process.
    # No Wine process inherits the slot's lock.
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    WINEPREFIX=$prefix timeout 20 wineserver -w >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -p10 </dev/null >/dev/null 2>&1 {slot_lock}>&- ||
        die "wineserver did not start"
    path=""
    for d in "${dll_dirs[@]}"; do
        d=$(realpath "$d") || die "no folder $d"
        path+="${path:+;}Z:${d//\//\\}" # drive Z: is the Unix root
    done
    WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all,err+module} WINEDLLOVERRIDES=$overrides \
        WINEPATH=$path timeout -k 5 "$limit" "$wine" "$program" "$@" {slot_lock}>&- &
    child=$!
    wait "$child"
    rc=$?
    child=""
fi
if [ $rc -eq 124 ]; then
    echo "run.sh: $program did not end within $limit s" >&2
fi
exit $rc
