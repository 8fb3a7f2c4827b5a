#!/usr/bin/env bash
# End to end: starts the program on the test display in a fresh working
# directory, answers "No" to the full-screen question by clicking it, checks
# the 1024 x 768 window and what it shows, presses keys, closes the window as
# a window manager would, and checks the exit code and the log.
# Usage: CityStartsAndCloses.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
city=$1
export CLOSEWINDOW=$2
source "$3"

work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
cp -r "$4"/. "$work"
cd "$work"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The share of the window's pixels for which the ImageMagick fx expression
# holds (on a quarter-size copy: fx is slow).
share() {
    convert "$1" -scale 25% -fx "$2" -format "%[fx:mean]" info:
}
more_than() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'
}

"$city" &
pid=$!

box=$(xdrive_wait_for_window "Run Fullscreen?" 30) || fail "the full-screen question did not appear"
xdrive_click_yes_no "$box" no

xdrive_wait_for_window "GL Framework" 30 >/dev/null || fail "no window named GL Framework"
window=$(xdrive_wait_for_window_size "GL Framework" 1024 768 30) || true
read -r id x y w h <<<"$window"
[ "$w" = 1024 ] && [ "$h" = 768 ] || fail "window is ${w}x${h}, not 1024x768"
[ "$x" = 0 ] && [ "$y" = 0 ] || fail "window is at ($x, $y), not (0, 0)"

sleep 2
xdrive_screenshot "$window" first.png
# The clear colour is mid grey; the towers are saturated, warm at first.
grey=$(share first.png "abs(r-0.5)<0.02 && abs(g-0.5)<0.02 && abs(b-0.5)<0.02")
warm=$(share first.png "r-b>0.25")
more_than "$grey" 0.4 || fail "the background is not the grey clear colour (share $grey)"
more_than "$warm" 0.02 || fail "no warm towers drawn (share $warm)"
# The frame counter prints "FPS: ..." in white with its baseline at y = 700,
# i.e. in the band 36 to 72 pixels below the window's top edge, from x = 800.
fps_ink=$(convert first.png -crop 224x36+800+36 +repage -fx "r>0.8 && g>0.8 && b>0.8" -format "%[fx:mean]" info:)
more_than "$fps_ink" 0.03 || fail "no frame counter text at (800, 700) (white share $fps_ink)"

# C switches the towers to cool colours; held arrow keys turn the camera.
xdotool key c
xdotool keydown Left
sleep 0.5
xdotool keyup Left
sleep 1
xdrive_screenshot "$window" second.png
cool=$(share second.png "b-r>0.1")
warm_after=$(share second.png "r-b>0.25")
more_than "$cool" 0.02 || fail "the C key did not switch the colours (cool share $cool)"
more_than "$warm" "$(awk -v w="$warm_after" 'BEGIN { print 4 * w }')" ||
    fail "warm towers still drawn after C (share $warm_after, before $warm)"

xdrive_close_window "$id"
status=0
for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not exit after its window was closed"
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "exit code $status"

[ -f log.txt ] || fail "no log.txt"
line1=$(sed -n 1p log.txt)
line3=$(sed -n 3p log.txt)
line5=$(sed -n 5p log.txt)
[ "$line1" = "DebugLog file" ] || fail "log line 1 is '$line1'"
[[ "$line3" =~ ^created:\ [0-3][0-9]/[01][0-9]/[0-9][0-9]\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$ ]] || fail "log line 3 is '$line3'"
[ "$line5" = "________________________________" ] || fail "log line 5 is '$line5'"
echo "ok: window 1024x768, drawing seen, keys handled, exit code 0, log header present"
