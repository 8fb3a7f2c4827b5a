#!/usr/bin/env bash
# End to end: the GUI and the console in the running program. Starts it in a
# fresh working directory holding the generated data (the font), answers
# "No" to the full-screen question, opens the dialog with Escape, hovers and
# clicks its "Colours" button, closes it with Escape, opens the console with
# the key left of 1, types into it, closes it with the same key, and closes
# the window; every step is checked on a screenshot.
# Usage: GuiAndConsole.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
# With VANTOR_E2E_SHOTS naming a folder, the screenshots are kept there.
set -euo pipefail
city=$1
export CLOSEWINDOW=$2
source "$3"
data=$4

work=$(mktemp -d)
finish() {
    kill "$pid" 2>/dev/null || true
    if [ -n "${VANTOR_E2E_SHOTS:-}" ]; then
        mkdir -p "$VANTOR_E2E_SHOTS"
        cp "$work"/*.png "$VANTOR_E2E_SHOTS"/ 2>/dev/null || true
    fi
    rm -rf "$work"
}
pid=
trap finish EXIT
cp -r "$data"/. "$work"/
cd "$work"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
more_than() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'
}

# Screen areas (the window sits at (0, 0), so screen and window pixels are
# the same, rows counted from the top) as WIDTHxHEIGHT+X+Y.
dialog=400x240+312+264     # the "Demo" dialog, centred in the window
colours=150x32+437+292     # its first button
close=150x32+437+344       # its second button
label=90x24+467+296        # the middle of the first button, where its label is
pane=990x334+10+40         # the console's shaded pane
typed=200x32+60+68         # the console's first line of text

"$city" &
pid=$!

box=$(xdrive_wait_for_window "Run Fullscreen?" 60) || fail "the full-screen question did not appear"
xdrive_click_yes_no "$box" no
# The window opens at 640 x 480 and takes its size when the main loop starts.
window=$(xdrive_wait_for_window_size "GL Framework" 1024 768 30) || fail "no 1024 x 768 window named GL Framework ($window)"
read -r id x y w h <<<"$window"
[ "$x" = 0 ] && [ "$y" = 0 ] || fail "window is at ($x, $y), not (0, 0)"

xdrive_move_mouse 900 700
sleep 2
xdrive_screenshot "$window" before.png

# Escape opens the dialog: its area darkens to about 0.7 of the scene.
xdrive_press Escape
sleep 1
xdrive_screenshot "$window" dialog.png
ratio=$(awk -v a="$(xdrive_mean dialog.png "$dialog")" -v b="$(xdrive_mean before.png "$dialog")" 'BEGIN { print a / b }')
awk -v r="$ratio" 'BEGIN { exit !(r > 0.55 && r < 0.85) }' || fail "the dialog did not darken its area (ratio $ratio)"
more_than "$(xdrive_share dialog.png "$label" "r>0.9 && g>0.9 && b>0.9")" 0.05 || fail "no label on the first button"

# Hovering brightens the button under the mouse, and only that one.
xdrive_move_mouse 512 308
sleep 1
xdrive_screenshot "$window" hover-colours.png
xdrive_move_mouse 512 360
sleep 1
xdrive_screenshot "$window" hover-close.png
c1=$(xdrive_mean hover-colours.png "$colours") k1=$(xdrive_mean hover-colours.png "$close")
c2=$(xdrive_mean hover-close.png "$colours") k2=$(xdrive_mean hover-close.png "$close")
more_than "$c1" "$(awk -v k="$k1" 'BEGIN { print k + 0.1 }')" || fail "hovered Colours ($c1) not brighter than Close ($k1)"
more_than "$k2" "$(awk -v c="$c2" 'BEGIN { print c + 0.1 }')" || fail "hovered Close ($k2) not brighter than Colours ($c2)"

# A click on "Colours" switches the towers, seen darkened through the
# dialog, from warm to cool colours.
warm=$(xdrive_share hover-close.png "$dialog" "r-b>0.1" 50%)
more_than "$warm" 0.1 || fail "no warm towers behind the dialog before the click (share $warm)"
# The frame reads the pointer at its end: let one pass before the click.
xdrive_move_mouse 512 308
sleep 0.3
xdotool click 1
sleep 1
xdrive_screenshot "$window" clicked.png
cool=$(xdrive_share clicked.png "$dialog" "b-r>0.07" 50%)
warm_after=$(xdrive_share clicked.png "$dialog" "r-b>0.1" 50%)
more_than "$cool" 0.05 || fail "the Colours button did not switch the colours (cool share $cool)"
more_than "$warm" "$(awk -v w="$warm_after" 'BEGIN { print 4 * w }')" || fail "warm towers left after the click ($warm_after)"

# Escape closes the GUI: the dialog and its labels are gone, and the scene's
# keys work again (C switches back to warm).
xdrive_move_mouse 900 700
xdrive_press Escape
sleep 1
xdrive_screenshot "$window" closed.png
white=$(xdrive_share closed.png "$label" "r>0.9 && g>0.9 && b>0.9")
more_than 0.01 "$white" || fail "the dialog is still shown after Escape (white share $white)"
xdrive_press c
sleep 1
xdrive_screenshot "$window" scene-keys.png
more_than "$(xdrive_share scene-keys.png 1024x768+0+0 "r-b>0.1" 25%)" 0.02 || fail "C did nothing after the GUI closed"

# The key left of 1 opens the console: a dark pane; what is typed shows in it.
dark_before=$(xdrive_share scene-keys.png "$pane" "max(r,max(g,b))<0.27" 50%)
xdrive_press grave
sleep 1
xdotool type --delay 50 "hello"
sleep 1
xdrive_screenshot "$window" console.png
dark=$(xdrive_share console.png "$pane" "max(r,max(g,b))<0.27" 50%)
more_than "$dark" 0.9 || fail "no dark console pane (share $dark, before $dark_before)"
more_than "$(xdrive_share console.png "$typed" "r>0.9 && g>0.9 && b>0.9")" 0.015 || fail "the typed text does not show"

# While the console is open the scene does not read the keyboard: C does nothing.
warm_console=$(xdrive_share console.png 1024x768+0+0 "r-b>0.1" 25%)
xdrive_press c
sleep 1
xdrive_press grave
sleep 1
xdrive_screenshot "$window" console-closed.png
dark_after=$(xdrive_share console-closed.png "$pane" "max(r,max(g,b))<0.27" 50%)
more_than 0.5 "$dark_after" || fail "the console is still shown after its key (dark share $dark_after)"
more_than "$(xdrive_share console-closed.png 1024x768+0+0 "r-b>0.1" 25%)" 0.02 ||
    fail "C reached the scene while the console was open (warm share while open $warm_console)"

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
echo "ok: dialog opened, hovered and clicked, closed with Escape; console opened, typed into, closed with its key; exit code 0"
