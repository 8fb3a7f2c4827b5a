#!/usr/bin/env bash
# Runs the program on the current (virtual) display for about RUN_SECONDS:
# answers "No" to the full-screen question, lets it run, saves a screenshot of
# its window to SCREENSHOT, closes the window and waits for the exit.
# Usage: headless-run.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
run_seconds=${RUN_SECONDS:-10}
screenshot=${SCREENSHOT:-$build/screenshot.png}
export CLOSEWINDOW=$build/bin/closewindow
source "$(dirname "$0")/xdrive.sh"

cd "$build/data"
"$build/bin/city" &
pid=$!

box=$(xdrive_wait_for_window "Run Fullscreen?" 30) || { echo "run: the start-up question did not appear" >&2; exit 1; }
xdrive_click_yes_no "$box" no
xdrive_wait_for_window "GL Framework" 30 >/dev/null || { echo "run: the program's window did not appear" >&2; exit 1; }
echo "run: the program is running headless for ${run_seconds}s"
sleep "$run_seconds"
window=$(xdrive_find_window "GL Framework")
[ -n "$window" ] || { echo "run: the program's window is gone" >&2; exit 1; }
xdrive_screenshot "$window" "$screenshot"
xdrive_close_window "${window%% *}"
status=0
wait "$pid" || status=$?
echo "run: the program exited with code $status; screenshot: $screenshot"
exit "$status"
