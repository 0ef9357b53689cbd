#!/usr/bin/env bash
# Runs the station-list benchmark's work with the sqlite3 command-line
# program on the same generated lists, for comparison with lumaret_bench:
# loading 50,000 and 1,000,000 rows (time and peak memory, each load in a
# process of its own, beside lumaret_bench --load-figures), then the count,
# the exact search and the BETWEEN search that DataFirst with Delta 1000
# falls back to on the 50,000 rows.
#   bench/compare_sqlite3.sh            (BUILD_DIR defaults to build)
# The generated files go to a temporary folder that is removed at the end.
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

command -v /usr/bin/time >/dev/null || { echo "/usr/bin/time is not installed" >&2; exit 1; }

echo "== load time and peak memory: Lumaret (its own process per list, text check + header + load + index)"
"$BENCH" --load-figures --rows=50000 --rows=1000000

echo "== load time and peak memory: sqlite3 (in-memory database, .import + index, including process start)"
for rows in 50000 1000000; do
    "$BENCH" --write-csv="$tmp/list$rows.csv" --rows=$rows
    size=$(stat -c %s "$tmp/list$rows.csv")
    /usr/bin/time -f "%e %M" -o "$tmp/time$rows" sqlite3 :memory: <<SQL
$schema
.separator ";" "\n"
.import --skip 1 $tmp/list$rows.csv "stations.csv"
CREATE INDEX freq_index ON "stations.csv" ("FREQ");
SQL
    read -r secs kb < "$tmp/time$rows"
    awk -v r="$rows" -v s="$size" -v t="$secs" -v k="$kb" 'BEGIN {
        printf "%9d rows  %7.1f MB file  load %8.1f ms  peak memory %7.1f MB (%.1f x the file)\n",
               r, s / 1e6, t * 1000, k * 1024 / 1e6, k * 1024 / s }'
    rm -f "$tmp/list$rows.csv"
done

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
