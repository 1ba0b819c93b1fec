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
ls -l "$out"
