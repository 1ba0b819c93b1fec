#!/bin/sh
# Takes a screenshot of the closing message of an export with many problems, its details open, from
# outside the program: message_details_demo runs under Xvfb with the openbox window manager while
# `import` grabs the screen.
#   tests/gui/details_screenshot.sh [BUILD_DIR] [OUT_DIR]
# Needs xvfb-run, openbox and ImageMagick.
set -eu
build=$(cd "${1:-build}" && pwd)
out=${2:-/tmp/tabvert-details}
mkdir -p "$out"
rm -f "$out/problems.xlsx" "$out/demo.log"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    "$1/tests/message_details_demo" "$2" 8000 2>"$2/demo.log" &
    pid=$!
    tries=0
    until grep -q "details shown" "$2/demo.log" || [ $tries -ge 100 ]; do sleep 0.2; tries=$((tries + 1)); done
    sleep 1; import -window root "$2/message-details.png"
    wait $pid
    kill $wm' sh "$build" "$out"
convert "$out/message-details.png" -strip PNG8:"$out/message-details.png"  # a palette keeps it small
ls "$out"/message-details.png
