#!/usr/bin/env bash
# packaging/manpage.cmake on a program whose help text holds what roff and
# CMake lists would take for their own: leading dots and quotes,
# backslashes, semicolons, brackets, minus signs, blank lines.
#   manpage_test.sh MANPAGE_CMAKE
set -euo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cat >"$work/prog" <<'PROG'
#!/bin/sh
case "$1" in
--version) echo "prog 9.8.7" ;;
--help)
    cat <<'HELP'
prog: does things

Usage: prog [-x] FILE;FILE
       prog --help

.a line that starts with a dot
'a line that starts with a quote
a back\slash, a [bracket and a ]closing one; a semicolon [a;b]

  -x        the x option
HELP
    ;;
*) exit 2 ;;
esac
PROG
chmod +x "$work/prog"

cmake -DPROGRAM="$work/prog" -DNAME=prog -DSUMMARY="a program for tests" -DSEE_ALSO=one,two \
    -DOUTPUT="$work/prog.1" -P "$script" || fail "manpage.cmake"
page="$(cat "$work/prog.1")"
expect() {
    grep -qxF -- "$1" "$work/prog.1" || { echo "$page" >&2; fail "no line: $1"; }
}
expect '.TH PROG 1 "" "Korvane 9.8.7" "User Commands"'
expect 'prog \- a program for tests'
expect 'prog [\-x] FILE;FILE'
expect 'prog \-\-help'
expect '\&.a line that starts with a dot'
expect "\\&'a line that starts with a quote"
expect 'a back\eslash, a [bracket and a ]closing one; a semicolon [a;b]'
expect '  \-x        the x option'
expect '.BR one (1),'
grep -q "does things" "$work/prog.1" && fail "the \"prog: ...\" line repeats the NAME section"
warnings="$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$work/prog.1" 2>&1 || true)"
[ -z "$warnings" ] || fail "groff: $warnings"

# A program whose --help fails makes no page.
printf '#!/bin/sh\nexit 3\n' >"$work/broken"
chmod +x "$work/broken"
if cmake -DPROGRAM="$work/broken" -DNAME=broken -DSUMMARY=x -DOUTPUT="$work/broken.1" -P "$script" 2>/dev/null; then
    fail "a failing --help made a page"
fi
[ ! -e "$work/broken.1" ] || fail "a failing --help left a page"
echo "manual page conversion ok"
