#!/bin/sh
# Stored queries: peak memory of reading a query over the table "Rows" against reading the table itself,
# then the time of each kind of query against the sqlite3 shell running the same query on the same data
# (a SQLite copy of the tables): a query of the whole table (against reading the table through
# tabvert-cli), GROUP BY, a join of two 100,000-row tables, a filter with arithmetic (its result range
# checked on every row) and one without, Count(*) (what reading the file alone costs), and TOP 100 ...
# ORDER BY.
#   bench/query_bench.sh [BUILD_DIR] [ROWS]      (RUNS=n: best of n runs, default 3)
set -eu
build=${1:-build}
rows=${2:-1000000}
runs=${RUNS:-3}
db="$build/bench/query-$rows.mdb"
lite="$build/bench/query-$rows.sqlite"
mkdir -p "$build/bench"
if [ ! -f "$db" ] || [ ! -f "$lite" ]; then "$build/query_make_db" "$db" "$rows" "$lite"; fi
. "$(dirname "$0")/best_time.sh"

measure() {  # prints "seconds peak-KiB lines" of one run
    /usr/bin/time -f '%e %M' -o "$build/bench/time.txt" "$@" > "$build/bench/out.txt"
    printf '%s %s\n' "$(cat "$build/bench/time.txt")" "$(wc -l < "$build/bench/out.txt")"
}

set -- $(measure "$build/tabvert-cli" rows "$db" Rows --locale en_US)
printf 'table Rows:       %6.2f s, peak %6.1f MiB, %d lines\n' "$1" "$(echo "$2 / 1024" | bc -l)" "$3"
set -- $(measure "$build/tabvert-cli" rows "$db" RowsQuery --locale en_US)
printf 'query RowsQuery:  %6.2f s, peak %6.1f MiB, %d lines\n' "$1" "$(echo "$2 / 1024" | bc -l)" "$3"

ours() { best_time "$runs" "$build/tabvert-cli" rows "$db" "$1" --locale en_US; }
shell() { best_time "$runs" sqlite3 "$lite" "$1"; }
compare() {  # NAME OURS-SECONDS OTHER-SECONDS OTHER-NAME
    printf '%-16s %7.2f s   %-16s %7.2f s   %5.2fx\n' "$1" "$2" "$4" "$3" "$(echo "$2 / $3" | bc -l)"
}
echo "query            tabvert-cli  against               time    ratio"
compare ScanQuery "$(ours ScanQuery)" "$(ours Rows)" "the table Rows"
compare GroupQuery "$(ours GroupQuery)" \
    "$(shell 'SELECT City, count(*), sum(Weight) FROM Rows GROUP BY City')" "sqlite3"
compare JoinQuery "$(ours JoinQuery)" \
    "$(shell 'SELECT l.K, l.Label, r.Label FROM "Left" l JOIN "Right" r ON l.K = r.K')" "sqlite3"
compare FilterQuery "$(ours FilterQuery)" \
    "$(shell 'SELECT ID, Name, Qty FROM Rows WHERE Qty * 2 + 1 > 1900 AND Weight < 100')" "sqlite3"
compare PlainFilterQuery "$(ours PlainFilterQuery)" \
    "$(shell 'SELECT ID, Name, Qty FROM Rows WHERE Qty > 950 AND Weight < 100')" "sqlite3"
compare CountQuery "$(ours CountQuery)" "$(shell 'SELECT count(*) FROM Rows')" "sqlite3"
compare TopQuery "$(ours TopQuery)" \
    "$(shell 'SELECT ID, Name, Weight FROM Rows ORDER BY Weight DESC, ID LIMIT 100')" "sqlite3"
