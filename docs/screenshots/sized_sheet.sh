#!/bin/sh
# Renders the picture of a sized sheet in the user's guide and the README: a table of the northwind-lite
# test database exported by tabvert-cli, laid out by LibreOffice headless (as a PDF page, since its Calc
# has no picture export without a window) and turned into a PNG of the page's top by pdftoppm
# (poppler-utils).
#   docs/screenshots/sized_sheet.sh [BUILD_DIR] [OUT_DIR] [TABLE]
set -eu
build=$(cd "${1:-build}" && pwd)
out=$(cd "${2:-docs/screenshots}" && pwd)
table=${3:-Products}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tabvert-fixture" northwind-lite "$work/northwind.mdb"
"$build/tabvert-cli" export "$work/northwind.mdb" "$work/sized-sheet.xlsx" --table "$table" > /dev/null
# A profile of its own, so that a LibreOffice already running elsewhere is not disturbed.
soffice -env:UserInstallation="file://$work/profile" --headless --convert-to pdf --outdir "$work" \
    "$work/sized-sheet.xlsx" > /dev/null 2>&1
pdftoppm -png -r 96 -f 1 -l 1 -x 40 -y 50 -W 720 -H 420 -singlefile "$work/sized-sheet.pdf" "$work/page"
cp "$work/page.png" "$out/sized-sheet.png"
echo "$out/sized-sheet.png"
