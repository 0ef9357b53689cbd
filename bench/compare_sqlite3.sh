#!/usr/bin/env bash
# Runs the station-list benchmark's work with the sqlite3 command-line
# program on the same generated 50,000-row list, for comparison with
# lumaret_bench: loading the file, then the count, the exact search and the
# BETWEEN search that DataFirst with Delta 1000 falls back to.
#   bench/compare_sqlite3.sh            (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
BENCH="$BUILD_DIR/bin/lumaret_bench"
[ -x "$BENCH" ] || { echo "build lumaret_bench first: cmake --build $BUILD_DIR --target lumaret_bench" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "sqlite3 is not installed" >&2; exit 1; }

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$BENCH" --write-csv="$tmp/stations.csv"

schema='CREATE TABLE "stations.csv" ("FREQ" REAL, "INFO" TEXT, "STAT" TEXT, "MODE" TEXT, "BAUD" INTEGER);'
load=".separator \";\" \"\\n\"
.import --skip 1 $tmp/stations.csv \"stations.csv\""

echo "== load 50,000 rows (import + index), wall time"
start=$(date +%s.%N)
sqlite3 "$tmp/load.db" <<SQL
$schema
$load
CREATE INDEX freq_index ON "stations.csv" ("FREQ");
SQL
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f ms (file database, including process start)\n", (e - s) * 1000 }'

echo "== queries (sqlite3 .timer, in-memory database, index on FREQ)"
sqlite3 :memory: <<SQL
$schema
$load
CREATE INDEX freq_index ON "stations.csv" ("FREQ");
.timer on
SELECT COUNT(*) AS NCOUNT FROM "stations.csv";
SELECT COUNT(*) AS NCOUNT FROM (SELECT DISTINCT "FREQ" FROM "stations.csv");
SELECT COUNT(*) FROM (SELECT "FREQ","INFO","STAT","MODE","BAUD" FROM "stations.csv" WHERE "FREQ" = 6000.0 ORDER BY rowid);
SELECT COUNT(*) FROM (SELECT "FREQ","INFO","STAT","MODE","BAUD" FROM "stations.csv" WHERE "FREQ" BETWEEN 5999.0 AND 6001.0 ORDER BY rowid);
SELECT COUNT(*) FROM (SELECT "FREQ","INFO","STAT","MODE","BAUD" FROM "stations.csv" WHERE "FREQ" BETWEEN 17499.0 AND 17501.0 ORDER BY rowid);
SQL
