#!/usr/bin/env bash
# End to end: the B benchmark driven through the interactive program
# (scripts/lib/headless-run.sh, which scripts/test also runs on the sanitized
# program), on a copy of the data: it must end
# with exit code 0 after quitting through the menu, print the start-up time
# and the benchmark's result, frame times and polygon counts as the log has
# them, and leave a screenshot of the window with the result on screen.
# Usage: HeadlessRun.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR HEADLESS_RUN
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "${@:1:4}"
headless_run=$(realpath "$5")
build=$(dirname "$(dirname "$city")")
[ "$build/bin/city" -ef "$city" ] || e2e_fail "the program is not in BUILD_DIR/bin: $city"

status=0
RUN_DIR=$work SCREENSHOT=$work/result.png "$headless_run" "$build" >output.txt 2>&1 || status=$?
cat output.txt
[ "$status" = 0 ] || e2e_fail "headless-run.sh ended with code $status"

result=$(grep "^Benchmark result" log.txt) || e2e_fail "no benchmark result in log.txt"
times=$(grep "^Benchmark frame times" log.txt) || e2e_fail "no benchmark frame times in log.txt"
polygons=$(grep "^Benchmark polygons" log.txt) || e2e_fail "no benchmark polygon counts in log.txt"
drawn=$(grep "^City drawn" log.txt) || e2e_fail "no start-up time in log.txt"
expected="run: the city is drawn; running the benchmark (B)
run: $drawn
run: $result
run: $times
run: $polygons
run: screenshot of the result: $work/result.png
run: quit through the menu; exit code 0"
[ "$(cat output.txt)" = "$expected" ] || e2e_fail "the output is not:
$expected"
[[ "$result" =~ ^Benchmark\ result:\ [0-9]+\.[0-9]{6}\ FPS$ ]] || e2e_fail "result line '$result'"
[[ "$polygons" =~ ^Benchmark\ polygons:\ ([0-9]+)\ drawn\ of\ ([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -le "${BASH_REMATCH[2]}" ] &&
    [ "${BASH_REMATCH[1]}" -gt 0 ] || e2e_fail "polygons line '$polygons'"

[ "$(identify -format "%wx%h" result.png)" = 1024x768 ] || e2e_fail "the screenshot is not of the 1024 x 768 window"
# "\n\nBenchmark result: ..." is on the text buffer's third line, in white.
ink=$(xdrive_share result.png 600x32+0+64 "r>=0.999 && g>=0.999 && b>=0.999")
e2e_more_than "$ink" 0.02 || e2e_fail "the screenshot does not show the result (white share $ink)"
echo "ok: benchmark run headless, result printed and on the screenshot, quit through the menu with exit code 0"
