#!/usr/bin/env bash
# The installed layout works on its own. `cmake --install` into a temporary
# prefix lays out every file; the Debian package made from the same rules
# (cpack, as scripts/package does) is unpacked with dpkg -x, and its
# programs run from there without the build tree (no KORVANE_LIB_PATH):
# help and version texts, the settings store, a watch and Tessaly (which
# opens both component libraries from lib/korvane/) against a simulated
# receiver served by the installed rxsim.
#
#   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
work="$(mktemp -d)"
sim_pid=""
watch_pid=""
cleanup() {
    exec 4>&- 2>/dev/null || true
    [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Waits up to 60 s for a line matching a pattern in a file.
wait_for() {
    local pattern="$1" file="$2"
    for _ in $(seq 600); do
        grep -q -- "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    cat "$file" >&2 || true
    fail "no \"$pattern\" in $file"
}
# The files of an installation below a prefix.
check_layout() {
    local prefix="$1" bindir="$2"
    for f in bin/tessaly bin/korvanectl bin/rxsim \
        lib/korvane/libquorvin.so lib/korvane/liblumaret.so \
        share/applications/org.korvane.Tessaly.desktop \
        share/icons/hicolor/scalable/apps/org.korvane.Tessaly.svg \
        share/icons/hicolor/48x48/apps/org.korvane.Tessaly.png \
        share/metainfo/org.korvane.Tessaly.metainfo.xml \
        share/man/man1/tessaly.1.gz share/man/man1/korvanectl.1.gz share/man/man1/rxsim.1.gz \
        lib/systemd/user/korvane-serve.service; do
        [ -e "$prefix/$f" ] || fail "$f not installed below $prefix"
    done
    grep -qx "ExecStart=$bindir/korvanectl serve \$KORVANE_SERVE_OPTIONS" "$prefix/lib/systemd/user/korvane-serve.service" \
        || fail "the user unit does not start $bindir/korvanectl"
    grep -q "<release version=\"$version\"" "$prefix/share/metainfo/org.korvane.Tessaly.metainfo.xml" \
        || fail "metainfo without release $version"
    zcat "$prefix/share/man/man1/korvanectl.1.gz" | grep -qF 'set\-number KEY NAME VALUE' \
        || fail "korvanectl page lacks its help text"
    # Nothing installed may look into the build tree.
    for f in "$prefix"/bin/* "$prefix"/lib/korvane/*; do
        if readelf -d "$f" | grep -E "R(UN)?PATH" | grep -qF "$build"; then
            fail "$f keeps a search path into the build tree"
        fi
    done
}

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
check_layout "$work/prefix" "$work/prefix/bin"

# The package.
cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/cpack/korvane_"$version"_*.deb)"
[ "$(dpkg-deb -f "$deb" Package)" = korvane ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libqt6core6 libqt6widgets6 libqt6serialport6 libsqlite3-0; do
    [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
dpkg -x "$deb" "$work/root"
[ ! -e "$work/root/usr/local" ] || fail "the package installs below /usr/local"
check_layout "$work/root/usr" /usr/bin
prefix="$work/root/usr"

# The user unit as systemd reads it (where systemd's tools are installed),
# pointed at the unpacked korvanectl.
if command -v systemd-analyze >/dev/null; then
    sed "s|/usr/bin/korvanectl|$prefix/bin/korvanectl|" "$prefix/lib/systemd/user/korvane-serve.service" \
        >"$work/korvane-serve.service"
    verdict="$(systemd-analyze verify --man=no "$work/korvane-serve.service" 2>&1 || echo "failed")"
    [ -z "$verdict" ] || fail "korvane-serve.service: $verdict"
fi

# From here on only the installed files count.
unset KORVANE_LIB_PATH LD_LIBRARY_PATH
export KORVANE_SETTINGS="$work/settings.db" KORVANE_TRACE_DIR="$work/traces" XDG_CONFIG_HOME="$work/config"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
bin="$prefix/bin"

for program in tessaly korvanectl rxsim; do
    out="$("$bin/$program" --version)"
    [ "$out" = "$program $version" ] || fail "$program --version printed \"$out\""
    "$bin/$program" --help >"$work/help.txt" || fail "$program --help"
    grep -q "^Usage: $program" "$work/help.txt" || fail "$program --help lacks its usage line"
done

ctl="$bin/korvanectl"
"$ctl" settings set-number Default/NRD535 D_Type 0
"$ctl" settings set-text Ports 3 "$work/nrd535"
"$ctl" settings set-number Default/NRD535 C_Type 0
"$ctl" settings set-number Default/NRD535 S_Port 3
"$ctl" settings set-number Default/NRD535 S_TestLink 0
"$ctl" settings show Default/NRD535 >"$work/show.txt"
grep -q "S_Port" "$work/show.txt" || { cat "$work/show.txt"; fail "settings show"; }

"$bin/rxsim" NRD535 --pty --link "$work/nrd535" >"$work/sim.out" &
sim_pid=$!
wait_for "^NRD535 " "$work/sim.out"

# A watch: connect, tune, end with q.
mkfifo "$work/watch.in"
"$ctl" watch <"$work/watch.in" >"$work/watch.out" 2>&1 &
watch_pid=$!
exec 4>"$work/watch.in"
wait_for "^RX0 NRD535: connect: " "$work/watch.out"
grep -q "^RX0 NRD535: connect: .*(1000)" "$work/watch.out" || { cat "$work/watch.out"; fail "watch did not connect"; }
echo "0 f 7050" >&4
wait_for "^RX0 NRD535: frequency 7050.000 kHz" "$work/watch.out"
echo "q" >&4
exec 4>&-
status=0
wait "$watch_pid" || status=$?
watch_pid=""
[ "$status" -eq 0 ] || { cat "$work/watch.out"; fail "watch ended with $status"; }

# Tessaly loads both libraries from lib/korvane/ and shows the receiver.
status=0
timeout 120 "$bin/tessaly" Default --screenshot "$work/shot.png" >"$work/tessaly.out" 2>&1 || status=$?
[ "$status" -eq 0 ] && [ -s "$work/shot.png" ] || { cat "$work/tessaly.out"; fail "tessaly ended with $status"; }

echo "installed layout works: $(cd "$prefix" && find . -type f | wc -l) files"
