#!/bin/sh
# Takes screenshots of the main window in the middle of a long export, from outside the program:
# export_progress_demo runs the export under Xvfb while `import` grabs the screen.
#   tests/gui/progress_screenshot.sh [BUILD_DIR] [OUT_DIR]
# Needs xvfb-run and ImageMagick. The database has 1,000 tables of 480 rows, so the bar is caught
# part-filled (it shows 0 from a table's 500th record on).
set -eu
build=$(cd "${1:-build}" && pwd)
out=${2:-/tmp/tabvert-progress}
mkdir -p "$out"
db="$out/progress-1000x480.mdb"
[ -f "$db" ] || "$build/export_make_db" "$db" 1000 480
rm -f "$out/progress.xls"
xvfb-run -a -s "-screen 0 900x700x24" sh -c '
    "$1/tests/export_progress_demo" "$2" "$3/progress.xls" 1000 &
    pid=$!
    sleep 3; import -window root "$3/progress-1.png"
    sleep 1; import -window root "$3/progress-2.png"
    wait $pid' sh "$build" "$db" "$out"
ls "$out"/progress-*.png
