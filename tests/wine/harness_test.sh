#!/usr/bin/env bash
# Checks run.sh's own promises with native programs (no Wine needed): exit
# codes passed through, the time limit, the simulator's port in the program's
# environment, and that the simulator and the program end with the run, also
# when the run itself is stopped.
# usage: harness_test.sh RUN_SH PTY_ECHO
set -uo pipefail
run=$1
echo_sim=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

check() { # description, condition...
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        echo "FAIL: $what"
    fi
}

# A process the run started must be gone: no process with that id runs that
# command line any more.
gone() { # pid, word of its command line
    local i
    for i in $(seq 50); do
        { tr "\\0" " " <"/proc/$1/cmdline"; } 2>/dev/null | grep -q -- "$2" || return 0
        sleep 0.1
    done
    return 1
}

# Exit codes, including the time limit's and the harness's own.
while read -r want args; do
    eval "set -- $args"
    bash "$run" --native "$@" >/dev/null 2>&1
    got=$?
    check "run.sh --native $args: exit code $got, expected $want" [ "$got" -eq "$want" ]
done <<'EOF'
0 -- true
3 -- sh -c 'exit 3'
1 -- false
124 --timeout 1 -- sleep 30
125 --pty /nonexistent/pty -- true
125 --sim /bin/false -- true
125 --no-such-option -- true
125 --timeout 0 -- true
EOF

# The time limit ends the program well before it would have ended.
start=$SECONDS
bash "$run" --native --timeout 2 -- sleep 60 >/dev/null 2>&1
check "a run limited to 2 s took $((SECONDS - start)) s" [ $((SECONDS - start)) -lt 20 ]

# The simulator's port and id reach the program; both end with the run.
bash "$run" --native --sim "$echo_sim" -- sh -c \
    'test -c "$ZORENC_TEST_PORT" && test "$ZORENC_TEST_PORT_LONG" = "$ZORENC_TEST_PORT" &&
     echo "$ZORENC_SIM_PID" >'"$work/sim.pid" >/dev/null 2>&1
check "program saw the simulator's port" [ -s "$work/sim.pid" ]
check "simulator ended with the run" gone "$(cat "$work/sim.pid" 2>/dev/null || echo 0)" pty_echo

# A simulator that never prints its port is given up within its wait, and
# ended.
start=$SECONDS
bash "$run" --native --sim-wait 1 --sim sh --sim-arg -c \
    --sim-arg "echo \$\$ >$work/mute.pid; exec sleep 60" -- true >/dev/null 2>&1
got=$?
check "silent simulator: exit code $got, expected 125" [ "$got" -eq 125 ]
check "silent simulator given up within bounds" [ $((SECONDS - start)) -lt 20 ]
check "silent simulator ended" gone "$(cat "$work/mute.pid" 2>/dev/null || echo 0)" sleep

# Stopping the run stops the program and the simulator.
bash "$run" --native --sim "$echo_sim" -- sh -c \
    "echo \$ZORENC_SIM_PID >$work/sim2.pid; echo \$\$ >$work/prog.pid; exec sleep 60" \
    >/dev/null 2>&1 &
runner=$!
for _ in $(seq 100); do
    [ -s "$work/prog.pid" ] && break
    sleep 0.1
done
check "program started under a simulator" [ -s "$work/prog.pid" ]
start=$SECONDS
kill -TERM "$runner"
wait "$runner"
got=$?
check "stopped run: exit code $got, expected 143" [ "$got" -eq 143 ]
check "stopped run ended within bounds" [ $((SECONDS - start)) -lt 20 ]
check "stopped run ended its program" gone "$(cat "$work/prog.pid" 2>/dev/null || echo 0)" sleep
check "stopped run ended its simulator" gone "$(cat "$work/sim2.pid" 2>/dev/null || echo 0)" pty_echo

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
