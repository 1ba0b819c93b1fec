#!/bin/sh
# Time of opening and exporting an Office-encrypted database against the same data unencrypted.
#   bench/encrypted_open.sh [BUILD_DIR] [SAMPLES_DIR]
# Derives the plain copy of db2013-enc.accdb (agile AES-256, SHA-512, 100,000 rounds) into
# BUILD_DIR/bench with build/plain_twin, then times `tabvert-cli tables` and `tabvert-cli export` on both,
# best of five runs each, and prints the ratios.
set -eu
build=${1:-build}
samples=${2:-../shared/samples}
enc="$samples/db2013-enc.accdb"
mkdir -p "$build/bench"
plain="$build/bench/db2013-plain.accdb"
[ -f "$plain" ] || "$build/plain_twin" "$enc" 1234 "$plain"
out="$build/bench/encrypted-open.xlsx"

. "$(dirname "$0")/best_time.sh"

cli="$build/tabvert-cli"
for run in tables export; do
    if [ "$run" = tables ]; then
        e=$(best_time 5 "$cli" tables "$enc" --password 1234)
        p=$(best_time 5 "$cli" tables "$plain")
    else
        e=$(best_time 5 "$cli" export "$enc" "$out" --password 1234)
        p=$(best_time 5 "$cli" export "$plain" "$out")
    fi
    printf '%-7s encrypted %.3f s, plain %.3f s, ratio %.2f\n' "$run" "$e" "$p" "$(echo "$e / $p" | bc -l)"
done
rm -f "$out"
