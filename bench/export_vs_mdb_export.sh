#!/bin/sh
# Time and peak memory of `tabvert-cli export` (to .xlsx and to .xls) against mdbtools' `mdb-export` of
# the same tables to CSV, on one database of 1,000,000 rows in all (20 tables of 50,000 rows).
#   bench/export_vs_mdb_export.sh [BUILD_DIR] [TABLES] [ROWS_PER_TABLE]
# Builds (once) the database in BUILD_DIR/bench, runs each tool once under /usr/bin/time -v and prints
# wall seconds and maximum resident set size.
set -eu
build=${1:-build}
tables=${2:-20}
rows=${3:-50000}
work="$build/bench/export"
mkdir -p "$work"
db="$work/export-$tables-$rows.mdb"
[ -f "$db" ] || "$build/export_make_db" "$db" "$tables" "$rows"

measure() {  # label, command...: prints "label: S s, M MiB"
    label=$1
    shift
    /usr/bin/time -v -o "$work/time.txt" "$@" > /dev/null || echo "($label exited with $?)"
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt" |
        awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
    kib=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    printf '%-28s %8.2f s %8.1f MiB\n' "$label:" "$wall" "$(echo "$kib / 1024" | bc -l)"
}

names=$(mdb-tables -1 "$db")
printf 'database: %s, %s tables x %s rows\n' "$db" "$tables" "$rows"
rm -f "$work/out.xlsx" "$work/out.xls"
measure "tabvert-cli export .xlsx" "$build/tabvert-cli" export "$db" "$work/out.xlsx"
measure "tabvert-cli export .xls" "$build/tabvert-cli" export "$db" "$work/out.xls"
# One shell runs mdb-export once per table, as a script converting every table would.
measure "mdb-export, every table" sh -c 'db=$1; dir=$2; shift 2; for t in "$@"; do mdb-export "$db" "$t" > "$dir/$t.csv"; done' \
    sh "$db" "$work" $names
ls -l "$work/out.xlsx" "$work/out.xls" | awk '{ printf "%s %.1f MiB\n", $NF, $5 / 1048576 }'
