#!/usr/bin/env bash
# Each manual page (gzip-compressed roff) formats without a warning.
set -euo pipefail
status=0
for page in "$@"; do
    [ -s "$page" ] || { echo "FAIL: $page missing or empty"; status=1; continue; }
    warnings="$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1 || true)"
    if [ -n "$warnings" ]; then
        echo "FAIL: $page"
        echo "$warnings"
        status=1
    fi
    zcat "$page" | grep -q '^\.SH DESCRIPTION' || { echo "FAIL: $page has no description"; status=1; }
done
exit $status
