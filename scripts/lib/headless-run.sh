#!/usr/bin/env bash
# Runs the interactive program's B benchmark on the current (virtual) display,
# as a user would (scripts/test runs it on the sanitized program): starts the
# program, answers "No" to the full-screen question, waits until the city is
# drawn, presses B, waits for the result in log.txt, saves a screenshot of
# the result on screen, quits through the menu ("Quit") and prints the result
# and the frame times of the benchmark's frames.
# Usage: headless-run.sh BUILD_DIR
# Environment: RUN_DIR, the working directory (default BUILD_DIR/data, whose
# data the program reads and where it writes log.txt); SCREENSHOT (default
# BUILD_DIR/screenshot.png); BENCHMARK_TIMEOUT in seconds (default 60).
set -euo pipefail
build=$(cd "$1" && pwd)
run_dir=$(cd "${RUN_DIR:-$build/data}" && pwd)
screenshot=${SCREENSHOT:-$build/screenshot.png}
case $screenshot in /*) ;; *) screenshot=$PWD/$screenshot ;; esac
benchmark_timeout=${BENCHMARK_TIMEOUT:-60}
export CLOSEWINDOW=$build/bin/closewindow
source "$(dirname "$0")/xdrive.sh"

# Screen position of the main menu's "Quit" button (the window is at (0, 0)).
quit_x=512
quit_y=180

pid=
scratch=$(mktemp -d)
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "run: $*" >&2
    exit 1
}
running() {
    kill -0 "$pid" 2>/dev/null
}

cd "$run_dir"
"$build/bin/city" &
pid=$!

box=$(xdrive_wait_for_window "Run Fullscreen?" 30) || fail "the start-up question did not appear"
xdrive_click_yes_no "$box" no
window=$(xdrive_wait_for_window_size "GL Framework" 1024 768 30) || fail "the program's window did not appear"

# The window is black until the first frame of the city.
deadline=$((SECONDS + 30))
while :; do
    running || fail "the program ended before it drew the city (see $run_dir/log.txt)"
    xdrive_screenshot "$window" "$scratch/frame.png"
    awk -v m="$(xdrive_mean "$scratch/frame.png" 1024x768+0+0)" 'BEGIN { exit !(m > 0.15) }' && break
    [ $SECONDS -lt $deadline ] || fail "the window stayed black for 30 s"
    sleep 0.3
done
sleep 1
echo "run: the city is drawn; running the benchmark (B)"

xdrive_press b
deadline=$((SECONDS + benchmark_timeout))
until grep -q "^Benchmark result" log.txt 2>/dev/null; do
    running || fail "the program ended during the benchmark"
    [ $SECONDS -lt $deadline ] || fail "no benchmark result in log.txt after ${benchmark_timeout} s"
    sleep 0.3
done
# Let a frame with the result on screen pass.
sleep 0.5
xdrive_screenshot "$window" "$screenshot"

# Escape opens the main menu; the frame reads the pointer at its end, so one
# passes between moving onto "Quit" and the click.
xdrive_press Escape
sleep 0.7
xdrive_move_mouse "$quit_x" "$quit_y"
sleep 0.3
xdotool click 1
deadline=$((SECONDS + 10))
while running && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
done
running && fail "the program did not quit through the menu"
status=0
wait "$pid" || status=$?
pid=

sed -n 's/^\(Benchmark result: .*\)$/run: \1/p; s/^\(Benchmark frame times: .*\)$/run: \1/p; s/^\(Benchmark polygons: .*\)$/run: \1/p; s/^\(City drawn .*\)$/run: \1/p' log.txt
echo "run: screenshot of the result: $screenshot"
echo "run: quit through the menu; exit code $status"
exit "$status"
