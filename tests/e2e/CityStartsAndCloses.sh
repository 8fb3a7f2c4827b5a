#!/usr/bin/env bash
# End to end: starts the program on the test display in a fresh working
# directory, answers "No" to the full-screen question by clicking it, checks
# the 1024 x 768 window at (0, 0) and that the city is drawn (sky at the top,
# the two help texts at the top-left, the frame counter at (800, 700)),
# closes the window as a window manager would, and checks the exit code and
# the log's header.
# Usage: CityStartsAndCloses.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"

e2e_start
e2e_shot first

# The walk starts in a street looking along it: the upper part of the view
# is the sky box's deep blue evening sky.
sky=$(xdrive_share first.png 1024x150+0+0 "b-r>0.1 && b>0.25" 25%)
e2e_more_than "$sky" 0.3 || e2e_fail "no blue sky at the top of the window (share $sky)"

# The help texts, 24 pixels high, at (10, 700) and (10, 680): rows 44 to 68
# and 64 to 88 from the top. Their strokes are found whatever is behind them.
e2e_text_mask first.png 330x20+0+46 help1.png
e2e_text_mask first.png 330x20+0+66 help2.png
for line in 1 2; do
    ink=$(e2e_ink help$line.png 320x20+10+0)
    e2e_more_than "$ink" 0.05 || e2e_fail "no help text on line $line at the top-left (ink $ink)"
done
# The line starts at x = 10 and holds about 32 glyphs of 9 to 10 pixels.
right=$(e2e_ink_right help1.png)
[ "$right" -gt 250 ] && [ "$right" -lt 330 ] || e2e_fail "the first help line ends at x = $right"
bright=$(xdrive_share first.png 310x40+10+44 "r>0.75 && g>0.75 && b>0.75")
e2e_more_than "$bright" 0.03 || e2e_fail "the help texts are not white (bright share $bright)"

# The frame counter prints "FPS: ..." in white with the bottom of its 32-pixel
# glyphs at y = 700: rows 36 to 72 from the top, from x = 800.
fps_ink=$(xdrive_share first.png 224x36+800+36 "r>=0.999 && g>=0.999 && b>=0.999")
e2e_more_than "$fps_ink" 0.03 || e2e_fail "no frame counter text at (800, 700) (white share $fps_ink)"
left_of_fps=$(xdrive_share first.png 224x36+560+36 "r>=0.999 && g>=0.999 && b>=0.999")
e2e_more_than 0.005 "$left_of_fps" || e2e_fail "white text left of the frame counter (share $left_of_fps)"

e2e_close_expect_0

[ -f log.txt ] || e2e_fail "no log.txt"
line1=$(sed -n 1p log.txt)
line3=$(sed -n 3p log.txt)
line5=$(sed -n 5p log.txt)
[ "$line1" = "DebugLog file" ] || e2e_fail "log line 1 is '$line1'"
[[ "$line3" =~ ^created:\ [0-3][0-9]/[01][0-9]/[0-9][0-9]\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$ ]] ||
    e2e_fail "log line 3 is '$line3'"
[ "$line5" = "________________________________" ] || e2e_fail "log line 5 is '$line5'"
grep -qF 'models\buildings\centre.v3d' log.txt || e2e_fail "the log does not show the buildings being loaded"
! grep -q "FATAL ERROR" log.txt || e2e_fail "the log holds a fatal error"
echo "ok: window 1024x768 at (0, 0), sky, help texts and frame counter drawn, exit code 0, log header present"
