#!/bin/sh
# The streaming export's figures, each tool run once under /usr/bin/time (wall, CPU = user + sys,
# peak resident memory), with the machine's load average printed beside them:
#  1. one table of 1,000,000 rows x 8 columns: tabvert-cli export to .xlsx and to .xls against
#     mdb-export of the same table to CSV;
#  2. 1,000 tables of 5 rows exported under `ulimit -n 256`;
#  3. one table of 20,000 rows x 200 columns to .xlsx, and its time per cell against 1.'s.
#   bench/export_streaming.sh [BUILD_DIR]
set -eu
build=${1:-build}
work="$build/bench/streaming"
mkdir -p "$work"
tall="$work/tall-1000000x8.mdb"
many="$work/many-1000x5.mdb"
wide="$work/wide-20000x200.mdb"
[ -f "$tall" ] || "$build/export_make_db" "$tall" 1 1000000 8
[ -f "$many" ] || "$build/export_make_db" "$many" 1000 5 8
[ -f "$wide" ] || "$build/export_make_db" "$wide" 1 20000 200

measure() {  # label, command...: prints "label: wall s, cpu s, peak MiB, load"; keeps wall and cpu in $wall $cpu
    label=$1
    shift
    status=0
    /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" > /dev/null 2> "$work/stderr.txt" || status=$?
    # tabvert-cli exits with 1 when the workbook was written with something left out (.xls rows).
    [ "$status" -le 1 ] || echo "($label exited with $status: $(tail -1 "$work/stderr.txt"))"
    set -- $(tail -1 "$work/time.txt")
    wall=$1 user=$2 sys=$3 kib=$4
    cpu=$(echo "$user + $sys" | bc -l)
    printf '%-34s wall %6.2f s  cpu %6.2f s  peak %6.1f MiB  (load %s)\n' "$label:" "$wall" "$cpu" \
        "$(echo "$kib / 1024" | bc -l)" "$(cut -d' ' -f1-3 /proc/loadavg)"
}

echo "1,000,000 rows x 8 columns"
rm -f "$work/out.xlsx" "$work/out.xls"
measure "mdb-export to CSV" sh -c 'mdb-export "$1" Sales2000 > "$2"' sh "$tall" "$work/out.csv"
csv_wall=$wall csv_cpu=$cpu
measure "tabvert-cli export .xlsx" "$build/tabvert-cli" export "$tall" "$work/out.xlsx"
printf '  .xlsx against mdb-export: wall %.2fx, cpu %.2fx\n' "$(echo "$wall / $csv_wall" | bc -l)" \
    "$(echo "$cpu / $csv_cpu" | bc -l)"
tall_cpu=$cpu
measure "tabvert-cli export .xls" "$build/tabvert-cli" export "$tall" "$work/out.xls"
printf '  .xls against mdb-export:  wall %.2fx, cpu %.2fx\n' "$(echo "$wall / $csv_wall" | bc -l)" \
    "$(echo "$cpu / $csv_cpu" | bc -l)"

echo "1,000 tables of 5 rows, at most 256 open files"
rm -f "$work/many.xlsx"
measure "tabvert-cli export .xlsx" sh -c 'ulimit -n 256 && exec "$1" export "$2" "$3"' sh "$build/tabvert-cli" "$many" \
    "$work/many.xlsx"

echo "20,000 rows x 200 columns"
rm -f "$work/wide.xlsx"
measure "tabvert-cli export .xlsx" "$build/tabvert-cli" export "$wide" "$work/wide.xlsx"
printf '  cpu per cell: %.0f ns, against %.0f ns for 8 columns\n' "$(echo "$cpu * 1000000000 / 4000000" | bc -l)" \
    "$(echo "$tall_cpu * 1000000000 / 8000000" | bc -l)"
