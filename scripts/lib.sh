# Helpers of the scripts (sourced, not run).
#
#   logged LOG COMMAND...
#       Runs COMMAND with its output in LOG. When it fails, the terminal gets
#       what failed: each failed build step with its command and the tool's
#       own words (ninja's FAILED blocks: a compiler error, a failed npm, a
#       sub-build's failure), else the last lines of LOG; then where LOG is.
#       Returns COMMAND's status.

logged() {
    local log=$1 status=0
    shift
    mkdir -p "$(dirname "$log")"
    "$@" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAILED (exit status $status): $*" >&2
        if grep -q '^FAILED: ' "$log"; then
            # Each FAILED line and what follows it, up to the next progress line.
            awk '/^FAILED: /{show=1; print; next} /^\[[0-9]+\/[0-9]+\] /{show=0} show' "$log" |
                head -n 120 >&2
        else
            tail -n 40 "$log" >&2
        fi
        echo "(all of its output: $log)" >&2
    fi
    return "$status"
}
