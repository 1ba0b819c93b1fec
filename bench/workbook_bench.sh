#!/usr/bin/env bash
# Writes 10,000,000 short text cells (1,000,000 rows x 10 columns) to .xlsx and 650,000
# (65,000 x 10) to .xls through the workbook engine, and the same cells with libxlsxwriter directly.
# Usage: bench/workbook_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
bin="$build/workbook_bench"
[[ -x "$bin" ]] || { echo "build the workbook_bench target first: cmake --build $build --target workbook_bench" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$bin" lxw    "$out/lxw-10m.xlsx"    1000000 10
"$bin" engine "$out/engine-10m.xlsx" 1000000 10
"$bin" lxw    "$out/lxw-650k.xlsx"   65000 10
"$bin" engine "$out/engine-650k.xlsx" 65000 10
"$bin" engine "$out/engine-650k.xls"  65000 10
# The same 10,000,000 cells written from the last row up.
"$bin" engine-reverse "$out/engine-rev-10m.xlsx" 1000000 10
# As the export writes (planned file, texts, numbers and dates), with and without sized columns and
# the frozen header: five runs of each, alternated so that both see the same machine; the run of
# least processor time of each is shown.
for file in export-1m.xlsx export-65k.xls; do
    rows=1000000; [[ $file == *.xls ]] && rows=65536
    for _ in 1 2 3 4 5; do
        for mode in export-unsized export; do "$bin" "$mode" "$out/$mode-$file" "$rows" 10 >>"$out/$mode-$file.txt"; done
    done
    for mode in export-unsized export; do sort -k13 -g "$out/$mode-$file.txt" | head -1; done
done
ls -l "$out"
