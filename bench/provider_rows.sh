#!/bin/sh
# Rows per second of `tabvert-cli rows` against mdbtools' `mdb-export` on the same table, in one run.
#   bench/provider_rows.sh [BUILD_DIR] [ROWS]
# Builds (once) a database of ROWS rows (default 500000) in BUILD_DIR/bench, reads the table with both
# tools into /dev/null, best of three runs each, and prints both rates.
set -eu
build=${1:-build}
rows=${2:-500000}
db="$build/bench/provider-big-$rows.mdb"
[ -f "$db" ] || "$build/provider_make_big" "$db" "$rows"

. "$(dirname "$0")/best_time.sh"

count=$("$build/tabvert-cli" rows "$db" Big | wc -l)
count=$((count - 1))
ours=$(best_time 3 "$build/tabvert-cli" rows "$db" Big --locale en_US)
theirs=$(best_time 3 mdb-export "$db" Big)
printf 'rows: %d\n' "$count"
printf 'tabvert-cli rows: %.2f s, %.0f rows/s\n' "$ours" "$(echo "$count / $ours" | bc -l)"
printf 'mdb-export:       %.2f s, %.0f rows/s\n' "$theirs" "$(echo "$count / $theirs" | bc -l)"
