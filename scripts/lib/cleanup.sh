# shellcheck shell=bash
# Stopping what a script started, however the script ends.
#
# Source this file, call cleanup_init once, start every process that must not
# outlive the script (simulators, proxies, the program being shown) with
# cleanup_spawn, and name throw-away files and folders with cleanup_path.
# When the script ends - normally, by `exit`, by a failing command under
# `set -e`, or by SIGINT (Ctrl-C), SIGTERM or SIGHUP (its terminal closing) -
# every process still running gets SIGTERM, then SIGKILL when it has not ended
# within CLEANUP_GRACE seconds, and the paths are removed. A script ended by a
# signal then ends by that same signal, so its caller sees how it ended.
# Where setpriv can set a parent-death signal, the processes also get SIGTERM
# when the script itself is killed outright (SIGKILL), which no trap sees.
#
# cleanup_spawn records the process id in the calling shell. Never call it
# inside $( ... ) or a pipeline: the id would be recorded in a subshell and
# lost with it. Let the started program write to a file and read that file.

CLEANUP_PIDS=()
CLEANUP_PATHS=()
CLEANUP_LAST_PID=""
CLEANUP_GRACE="${CLEANUP_GRACE:-5}"
CLEANUP_DONE=""
CLEANUP_PDEATHSIG=()
if command -v setpriv >/dev/null 2>&1 && setpriv --help 2>&1 | grep -q -- --pdeathsig; then
    CLEANUP_PDEATHSIG=(setpriv --pdeathsig TERM --)
fi

# Installs the traps. Call once, before starting anything.
cleanup_init() {
    trap cleanup_run EXIT
    trap 'cleanup_on_signal INT 2' INT
    trap 'cleanup_on_signal TERM 15' TERM
    trap 'cleanup_on_signal HUP 1' HUP
}

# cleanup_spawn COMMAND [ARG...]: starts COMMAND in the background with the
# caller's redirections (standard input included) and records it; its process
# id is left in CLEANUP_LAST_PID. Wait for it with `wait "$CLEANUP_LAST_PID"`,
# which a signal interrupts at once (a command in the foreground would hold
# the traps back until it ends).
cleanup_spawn() {
    "${CLEANUP_PDEATHSIG[@]}" "$@" 0<&0 &
    CLEANUP_LAST_PID=$!
    CLEANUP_PIDS+=("$CLEANUP_LAST_PID")
}

# cleanup_path PATH...: removed (recursively) when the script ends, after the
# processes have stopped.
cleanup_path() {
    CLEANUP_PATHS+=("$@")
}

# The recorded processes that still run, as this shell knows them: a process
# that has ended (and been reaped) is left out, so its id, which the system
# may already have given to another process, is never signalled.
cleanup_running() {
    local running pid
    running=" $(jobs -pr | tr '\n' ' ') "
    for pid in "${CLEANUP_PIDS[@]}"; do
        case "$running" in *" $pid "*) echo "$pid" ;; esac
    done
}

# Stops every recorded process that still runs and removes the paths. Runs
# once; later calls return at once.
cleanup_run() {
    [ -z "$CLEANUP_DONE" ] || return 0
    CLEANUP_DONE=1
    local pid alive deadline=$((SECONDS + CLEANUP_GRACE))
    alive="$(cleanup_running)"
    if [ -n "$alive" ]; then
        # shellcheck disable=SC2086
        kill -TERM $alive 2>/dev/null || true
    fi
    while [ -n "$alive" ]; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            # shellcheck disable=SC2086
            kill -KILL $alive 2>/dev/null || true
            break
        fi
        sleep 0.1
        alive="$(cleanup_running)"
    done
    for pid in "${CLEANUP_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if [ ${#CLEANUP_PATHS[@]} -gt 0 ]; then
        rm -rf -- "${CLEANUP_PATHS[@]}" || true
    fi
}

# cleanup_on_signal NAME NUMBER: the trap of INT, TERM and HUP.
cleanup_on_signal() {
    trap '' INT TERM HUP # a second Ctrl-C must not cut the cleanup short
    cleanup_run
    trap - "$1" EXIT
    kill -s "$1" "$$"
    exit $((128 + $2))
}
