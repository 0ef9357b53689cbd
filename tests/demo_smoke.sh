#!/usr/bin/env bash
# Runs scripts/demo for a few seconds and checks that both simulated
# receivers connected and that a typed frequency reached the NRD535.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(printf '0 f 7050\n' | KORVANE_DEMO_NO_SETUP=1 BUILD_DIR="$1" "$root/scripts/demo" --seconds 5 2>&1)" || {
    echo "$out"
    exit 1
}
echo "$out"
for expected in "RX0 NRD535: connection: No error" "RX1 RA1792: connection: No error" \
    "RX0 NRD535: frequency 7050.000 kHz"; do
    grep -qF "$expected" <<<"$out" || { echo "missing: $expected"; exit 1; }
done
