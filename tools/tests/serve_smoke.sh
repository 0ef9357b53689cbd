#!/usr/bin/env bash
# korvanectl serve as an operator runs it: a simulated NRD535 on a pty, a
# throw-away settings file, the server on a free port; a protocol client
# tunes the receiver through it; SIGTERM ends it cleanly.
set -euo pipefail
bin="$1/bin"
work="$(mktemp -d)"
sim_pid=""
serve_pid=""
cleanup() {
    [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export KORVANE_SETTINGS="$work/settings.db" KORVANE_TRACE_DIR="$work/traces"

"$bin/rxsim" NRD535 --pty --link "$work/nrd535" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/nrd535" ] && break; sleep 0.1; done
ctl="$bin/korvanectl"
"$ctl" settings set-number Default/NRD535 D_Type 0
"$ctl" settings set-text Ports 3 "$work/nrd535"
"$ctl" settings set-number Default/NRD535 C_Type 0
"$ctl" settings set-number Default/NRD535 S_Port 3
"$ctl" settings set-number Default/NRD535 S_TestLink 0

# A bad idle time is a usage error.
status=0
"$ctl" serve --idle soon >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || { echo "--idle soon ended with $status, not 2"; exit 1; }

"$ctl" serve --port 0 --idle 2 >"$work/serve.out" 2>&1 &
serve_pid=$!
port=""
for _ in $(seq 600); do
    port="$(sed -n 's/^RX0 NRD535: rigctl protocol on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/serve.out")"
    [ -n "$port" ] && grep -q "^RX0 NRD535: connected" "$work/serve.out" && break
    sleep 0.1
done
[ -n "$port" ] || { cat "$work/serve.out"; echo "serve printed no port"; exit 1; }

# A bare protocol client over bash's /dev/tcp.
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'F 7050000\nf\nT 1\nq\n' >&3
reply="$(timeout 30 cat <&3 || true)"
exec 3<&-
echo "$reply"
[ "$reply" = "$(printf 'RPRT 0\n7050000\nRPRT -11\nRPRT 0')" ] || { echo "unexpected replies"; exit 1; }

# A client that says nothing is closed after the idle time (2 s): cat ends
# at the server's close, long before its own limit.
exec 4<>"/dev/tcp/127.0.0.1/$port"
status=0
timeout 60 cat <&4 >/dev/null || status=$?
exec 4<&-
[ "$status" -eq 0 ] || { echo "a silent client was not closed ($status)"; exit 1; }

kill -TERM "$serve_pid"
status=0
wait "$serve_pid" || status=$?
serve_pid=""
cat "$work/serve.out"
[ "$status" -eq 0 ] || { echo "serve ended with $status"; exit 1; }
grep -q "^stopping" "$work/serve.out" || { echo "serve did not stop cleanly"; exit 1; }
grep -q "^RX0 NRD535: Link has been closed" "$work/serve.out" || { echo "receiver not disconnected"; exit 1; }
