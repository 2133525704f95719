# Sourced by the scripts here. `step [--show REGEX] WHAT COMMAND...` prints WHAT
# on one line and runs COMMAND with its output kept aside: on success only the
# lines matching REGEX are shown (a test summary, compiler warnings), on failure
# all of it.
step() {
    local show=""
    if [ "$1" = "--show" ]; then
        show=$2
        shift 2
    fi
    local what=$1 log status=0
    shift
    echo "$what"
    log=$(mktemp)
    "$@" >"$log" 2>&1 </dev/null || status=$?
    if [ "$status" -ne 0 ]; then
        cat "$log" >&2
        echo "failed: $what" >&2
    elif [ -n "$show" ]; then
        grep -E -- "$show" "$log" || true
    fi
    rm -f "$log"
    return "$status"
}
