#!/bin/sh
# Stored queries: peak memory of reading a query over a 200,000-row table against reading the table
# itself, and the time of a query joining two 100,000-row tables on a key.
#   bench/query_bench.sh [BUILD_DIR] [ROWS]
set -eu
build=${1:-build}
rows=${2:-200000}
db="$build/bench/query-$rows.mdb"
mkdir -p "$build/bench"
[ -f "$db" ] || "$build/query_make_db" "$db" "$rows"

measure() {  # prints "seconds peak-KiB lines" of one run
    /usr/bin/time -f '%e %M' -o "$build/bench/time.txt" "$@" > "$build/bench/out.txt"
    printf '%s %s\n' "$(cat "$build/bench/time.txt")" "$(wc -l < "$build/bench/out.txt")"
}

set -- $(measure "$build/tabvert-cli" rows "$db" Rows --locale en_US)
printf 'table Rows:       %6.2f s, peak %6.1f MiB, %d lines\n' "$1" "$(echo "$2 / 1024" | bc -l)" "$3"
set -- $(measure "$build/tabvert-cli" rows "$db" RowsQuery --locale en_US)
printf 'query RowsQuery:  %6.2f s, peak %6.1f MiB, %d lines\n' "$1" "$(echo "$2 / 1024" | bc -l)" "$3"
set -- $(measure "$build/tabvert-cli" rows "$db" JoinQuery --locale en_US)
printf 'query JoinQuery:  %6.2f s, peak %6.1f MiB, %d lines\n' "$1" "$(echo "$2 / 1024" | bc -l)" "$3"
