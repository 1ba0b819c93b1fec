#!/bin/sh
# What continued sheets cost: CPU time (user + sys, from /usr/bin/time) of tabvert-cli export, the best of
# RUNS runs each, with the machine's load average beside it.
#  1. One table of 1,000,000 rows x 8 columns to .xlsx, where it fits one sheet, with and without
#     --continue-sheets: what the option costs while nothing needs continuing.
#  2. The same table to .xls with --continue-sheets (it fills 16 sheets) against 16 tables of 62,500 rows,
#     the same 1,000,000 rows on as many sheets without any continuing: what going on to further sheets
#     costs.
#   bench/export_continuation.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build}
runs=${2:-3}
work="$build/bench/continuation"
mkdir -p "$work"
tall="$work/tall-1000000x8.mdb"
split="$work/split-16x62500x8.mdb"
[ -f "$tall" ] || "$build/export_make_db" "$tall" 1 1000000 8
[ -f "$split" ] || "$build/export_make_db" "$split" 16 62500 8

best_cpu() {  # label, command...: prints the label and the best CPU seconds; keeps them in $cpu
    label=$1
    shift
    cpu=""
    i=0
    while [ "$i" -lt "$runs" ]; do
        rm -f "$work/out.xlsx" "$work/out.xls"
        status=0
        /usr/bin/time -f '%U %S' -o "$work/time.txt" "$@" > /dev/null 2> "$work/stderr.txt" || status=$?
        [ "$status" -le 1 ] || echo "($label exited with $status: $(tail -1 "$work/stderr.txt"))"
        t=$(tail -1 "$work/time.txt" | awk '{ print $1 + $2 }')
        if [ -z "$cpu" ] || [ "$(echo "$t < $cpu" | bc -l)" = 1 ]; then cpu=$t; fi
        i=$((i + 1))
    done
    printf '%-46s cpu %6.2f s  (load %s)\n' "$label:" "$cpu" "$(cut -d' ' -f1-3 /proc/loadavg)"
}

cli="$build/tabvert-cli"
echo "1,000,000 rows x 8 columns, best of $runs"
best_cpu ".xlsx, one sheet" "$cli" export "$tall" "$work/out.xlsx"
plain=$cpu
best_cpu ".xlsx, one sheet, --continue-sheets" "$cli" export "$tall" "$work/out.xlsx" --continue-sheets
printf '  the option while nothing continues: %+.1f%%\n' "$(echo "($cpu - $plain) * 100 / $plain" | bc -l)"
best_cpu ".xls, 16 tables of 62,500 rows" "$cli" export "$split" "$work/out.xls"
split_cpu=$cpu
best_cpu ".xls, one table continued over 16 sheets" "$cli" export "$tall" "$work/out.xls" --continue-sheets
printf '  continuing over 16 sheets: %+.1f%%\n' "$(echo "($cpu - $split_cpu) * 100 / $split_cpu" | bc -l)"
