#!/usr/bin/env bash
# Runs the unattended benchmark, `city --benchmark`, and reports it: prints
# the program's summary, plots the frame log (scripts/lib/plot-frames.sh) and
# prints the paths of the results, the plot and a capture of the tour's last
# frame.
# Usage: tour-run.sh BUILD_DIR [OUT_DIR [CITY_OPTION...]]
# The CITY_OPTIONs go to the program as well (--offscreen to draw without a
# display, --size, --samples).
# OUT_DIR (default BUILD_DIR/benchmark) receives results.json, frames.csv,
# frames.png and last-frame.png. FRAMES (default 1200: the 31-second tour at
# about 40 frames per second of tour time, close to a minute on two cores
# with Mesa's software renderer) is handed to --frames.
set -euo pipefail
build=$(cd "$1" && pwd)
out=${2:-$build/benchmark}
shift $(($# < 2 ? $# : 2))
frames=${FRAMES:-1200}
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$build/bin/city" --benchmark --data "$build/data" --frames "$frames" \
    --results "$out/results.json" --frame-log "$out/frames.csv" \
    --capture "$((frames - 1)):$out/last-frame.png" "$@" | grep -v '^\(results\|frame log\|frame [0-9]*\):'
"$(dirname "$0")/plot-frames.sh" "$out/frames.csv" "$out/results.json" "$out/frames.png"
echo "results: $out/results.json"
echo "frame log: $out/frames.csv"
echo "plot: $out/frames.png"
echo "last frame: $out/last-frame.png"
