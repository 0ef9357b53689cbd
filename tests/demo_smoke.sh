#!/usr/bin/env bash
# Runs scripts/demo the ways an operator ends it and checks that it did its
# work and that nothing it started outlives it.
#
#   demo_smoke.sh BUILD_DIR [CASE]
#
# CASE (default "seconds"):
#   seconds   --seconds 5 with "0 f 7050" typed: both receivers connect, the
#             frequency reaches the NRD535, the demo ends by itself
#   quit      "0 f 7050" then "q" typed once it is running
#   signals   Ctrl-C (SIGINT to its process group), SIGTERM to the script,
#             the terminal closing (SIGHUP to the group), and SIGKILL of the
#             script itself, each once the receivers are connected
#   sigint, sigterm, sighup, sigkill
#             one of these alone (CTest runs them side by side)
#   failure   a build without korvanectl, and an rxsim that refuses its second
#             receiver: the demo fails half-way
#
# Every demo runs with a marker of its own in its environment, which all of
# its descendants inherit; a process that still carries the marker once the
# demo has ended is a leak, reported with its command line (and then stopped,
# so the test itself leaks nothing).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
case_name="${2:-seconds}"
[[ "$build" = /* ]] || build="$PWD/$build"

set -m # each demo in a process group of its own, as a terminal's foreground job is
tmp="$(mktemp -d "${TMPDIR:-/tmp}/korvane-demo-smoke.XXXXXX")"
marker="korvane-demo-smoke-$$-$RANDOM$RANDOM"
demo_pid=""
failures=0

# Processes that carry the marker (the demo's own descendants).
marked() {
    grep -lzx "KORVANE_DEMO_SMOKE_MARK=$marker" /proc/[0-9]*/environ 2>/dev/null |
        sed -e 's,^/proc/,,' -e 's,/environ$,,' || true
}

# Stops whatever this test started that still runs.
stop_leftovers() {
    [ -n "$demo_pid" ] && kill -KILL -- "-$demo_pid" 2>/dev/null
    local pid
    for pid in $(marked); do kill -KILL "$pid" 2>/dev/null; done
}
trap 'stop_leftovers; rm -rf "$tmp"' EXIT

fail() {
    echo "FAIL ($current): $*"
    failures=$((failures + 1))
}

# Waits (up to $2 seconds) for the demo's output to contain the text $1.
wait_output() {
    local deadline=$((SECONDS + $2))
    while ! grep -qF -- "$1" "$tmp/out"; do
        if [ $SECONDS -ge "$deadline" ] || ! kill -0 "$demo_pid" 2>/dev/null; then
            grep -qF -- "$1" "$tmp/out" && return 0
            return 1
        fi
        sleep 0.2
    done
}

# Starts the demo in the background with the given arguments; its input is
# the fifo $tmp/in, held open on descriptor 3 until end_input.
start_demo() {
    local build_dir="$1"
    shift
    rm -f "$tmp/in" "$tmp/out"
    mkfifo "$tmp/in"
    # TMPDIR: what a demo killed outright cannot remove goes with $tmp.
    TMPDIR="$tmp" KORVANE_DEMO_HEADLESS=1 KORVANE_DEMO_SMOKE_MARK="$marker" KORVANE_DEMO_NO_SETUP=1 BUILD_DIR="$build_dir" \
        "$root/scripts/demo" "$@" <"$tmp/in" >"$tmp/out" 2>&1 &
    demo_pid=$!
    exec 3>"$tmp/in"
}

end_input() { exec 3>&-; }

# Waits (up to $1 seconds) for the demo to end; sets demo_status.
wait_demo_end() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$demo_pid" 2>/dev/null; do
        if [ $SECONDS -ge "$deadline" ]; then
            fail "the demo did not end within $1 s"
            kill -KILL -- "-$demo_pid" 2>/dev/null
            break
        fi
        sleep 0.2
    done
    wait "$demo_pid" 2>/dev/null
    demo_status=$?
    end_input
}

# The demo has ended: none of its processes may still run. A process being
# stopped gets a few seconds (the machine may be busy); a leak stays.
check_no_leftovers() {
    local deadline=$((SECONDS + 5)) left
    while left="$(marked)"; [ -n "$left" ]; do
        if [ $SECONDS -ge "$deadline" ]; then
            fail "processes of the demo still running after it ended:"
            local pid
            for pid in $left; do
                echo "    $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
                kill -KILL "$pid" 2>/dev/null
            done
            return
        fi
        sleep 0.2
    done
}

show_output() {
    echo "---- demo output ($current), status ${demo_status:-?} ----"
    cat "$tmp/out"
    echo "----"
}

expect_connected() {
    local ok=0
    wait_output "RX0 NRD535: connection: No error" 90 || { fail "the NRD535 did not connect"; ok=1; }
    wait_output "RX1 RA1792: connection: No error" 90 || { fail "the RA1792 did not connect"; ok=1; }
    return $ok
}

run_seconds() {
    current="--seconds"
    start_demo "$build" --seconds 5
    echo "0 f 7050" >&3
    end_input
    wait_demo_end 120
    [ "$demo_status" -eq 0 ] || fail "the demo ended with status $demo_status"
    grep -qF "RX0 NRD535: connection: No error" "$tmp/out" || fail "missing: RX0 NRD535 connected"
    grep -qF "RX1 RA1792: connection: No error" "$tmp/out" || fail "missing: RX1 RA1792 connected"
    grep -qF "RX0 NRD535: frequency 7050.000 kHz" "$tmp/out" || fail "missing: RX0 NRD535 at 7050 kHz"
    check_no_leftovers
    show_output
}

run_quit() {
    current="q"
    start_demo "$build"
    if expect_connected; then
        echo "0 f 7050" >&3
        wait_output "RX0 NRD535: frequency 7050.000 kHz" 60 || fail "the typed frequency did not arrive"
    fi
    echo "q" >&3
    wait_demo_end 60
    [ "$demo_status" -eq 0 ] || fail "the demo ended with status $demo_status after q"
    check_no_leftovers
    show_output
}

# $1: signal, $2: "group" (as the terminal sends it) or "script" (the script alone).
run_signal() {
    current="SIG$1 to the $2"
    start_demo "$build"
    expect_connected
    if [ "$2" = group ]; then
        kill -s "$1" -- "-$demo_pid"
    else
        kill -s "$1" "$demo_pid"
    fi
    wait_demo_end 60
    [ "$demo_status" -ne 0 ] || fail "the demo reported success after SIG$1"
    check_no_leftovers
    show_output
}

run_failure() {
    # A build that has rxsim but no korvanectl: both simulators start, then
    # the first settings command fails.
    current="no korvanectl"
    mkdir -p "$tmp/nokorvanectl/bin"
    ln -sf "$build/bin/rxsim" "$tmp/nokorvanectl/bin/rxsim"
    ln -sfn "$build/lib" "$tmp/nokorvanectl/lib"
    start_demo "$tmp/nokorvanectl"
    wait_demo_end 60
    [ "$demo_status" -ne 0 ] || fail "the demo reported success without korvanectl"
    check_no_leftovers
    show_output

    # An rxsim that serves the NRD535 but refuses the RA1792: the second
    # simulator fails to start while the first runs.
    current="second simulator refused"
    mkdir -p "$tmp/badsim/bin"
    cat >"$tmp/badsim/bin/rxsim" <<EOF
#!/usr/bin/env bash
case "\$1" in RA1792*) echo "rxsim: refused for the test" >&2; exit 1 ;; esac
exec "$build/bin/rxsim" "\$@"
EOF
    chmod +x "$tmp/badsim/bin/rxsim"
    ln -sf "$build/bin/korvanectl" "$tmp/badsim/bin/korvanectl"
    ln -sfn "$build/lib" "$tmp/badsim/lib"
    start_demo "$tmp/badsim"
    wait_demo_end 60
    [ "$demo_status" -ne 0 ] || fail "the demo reported success with a simulator missing"
    grep -qF "refused for the test" "$tmp/out" || fail "the simulator's complaint was not shown"
    check_no_leftovers
    show_output
}

case "$case_name" in
seconds) run_seconds ;;
quit) run_quit ;;
signals)
    run_signal INT group
    run_signal TERM script
    run_signal HUP group
    run_signal KILL script
    ;;
sigint) run_signal INT group ;;
sigterm) run_signal TERM script ;;
sighup) run_signal HUP group ;;
sigkill) run_signal KILL script ;;
failure) run_failure ;;
*)
    echo "usage: $0 BUILD_DIR [seconds|quit|signals|sigint|sigterm|sighup|sigkill|failure]" >&2
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "demo $case_name: passed"
