#!/bin/sh
# Time of runs on Office-encrypted databases against the same data unencrypted.
#   bench/encrypted_open.sh [BUILD_DIR] [SAMPLES_DIR] [ROWS]
# Small: db2013-enc.accdb (agile AES-256, SHA-512, 100,000 rounds) and its plain copy written by
# build/plain_twin. Big: a table of ROWS rows (default 300000) as a plain Access 2007 file written by
# build/provider_make_big, and encrypted with db2013-enc.accdb's description by build/encrypted_make_big. Both pairs into BUILD_DIR/bench.
# Times `tabvert-cli tables`, `rows` and `export` on each, best of five runs (three for the big export),
# and prints the ratios.
set -eu
build=${1:-build}
samples=${2:-../shared/samples}
rows=${3:-300000}
sample="$samples/db2013-enc.accdb"
mkdir -p "$build/bench"
small="$build/bench/db2013-plain.accdb"
bigPlain="$build/bench/encrypted-big-$rows-plain.accdb"
bigEnc="$build/bench/encrypted-big-$rows.accdb"
[ -f "$small" ] || "$build/plain_twin" "$sample" 1234 "$small"
[ -f "$bigPlain" ] || "$build/provider_make_big" "$bigPlain" "$rows"
[ -f "$bigEnc" ] || "$build/encrypted_make_big" "$sample" 1234 "$bigPlain" "$bigEnc"
out="$build/bench/encrypted-open.xlsx"
cli="$build/tabvert-cli"

. "$(dirname "$0")/best_time.sh"

compare() {  # compare LABEL RUNS ENCRYPTED PLAIN ARGS...: one command on both files
    label=$1 runs=$2 enc=$3 plain=$4
    shift 4
    cmd=$1
    shift
    e=$(best_time "$runs" "$cli" "$cmd" "$enc" "$@" --password 1234)
    p=$(best_time "$runs" "$cli" "$cmd" "$plain" "$@")
    printf '%-14s encrypted %7.3f s, plain %7.3f s, ratio %.2f\n' "$label" "$e" "$p" "$(echo "$e / $p" | bc -l)"
}

echo "db2013-enc.accdb ($(stat -c %s "$sample") bytes)"
compare "  tables" 5 "$sample" "$small" tables
compare "  rows" 5 "$sample" "$small" rows Customers
compare "  export" 5 "$sample" "$small" export "$out"
echo "Big, $rows rows ($(stat -c %s "$bigEnc") bytes)"
compare "  tables" 5 "$bigEnc" "$bigPlain" tables
compare "  rows" 3 "$bigEnc" "$bigPlain" rows Big
compare "  export .xlsx" 3 "$bigEnc" "$bigPlain" export "$out"
rm -f "$out"
