#!/usr/bin/env bash
# End to end: antialiasing that is seen to work. `city --samples 4` opens a
# multisampled window, where the options menu's antialiasing entry is on at
# the start and switches it off: the edges of the buildings against the sky
# then lose their blended pixels, and nothing else changes. Without
# --samples the window has no samples and the entry does nothing.
# Usage: Antialiasing.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"
# Nothing moves, so two pictures differ only by what the setting changes.
e2e_quiet_city

# Below the frame counter, and the sky over the street with the buildings'
# edges against it (the walk start looks north along the street).
below_fps=1024x690+0+78
skyline=700x300+160+78
options_button="512 128"
antialiasing_button="512 280"
away="1200 900"

# Opens the options menu, presses the antialiasing entry, closes the GUI and
# saves the scene as NAME.png.
press_antialiasing() {
    e2e_key Escape 0.7
    xdrive_move_mouse $options_button
    sleep 0.3
    xdotool click 1
    sleep 0.5
    xdrive_move_mouse $antialiasing_button
    sleep 0.3
    xdotool click 1
    sleep 0.5
    xdrive_move_mouse $away
    e2e_key Escape 1
    e2e_shot "$1"
}

run_city() {
    "$city" "$@" &
    pid=$!
    local box
    box=$(xdrive_wait_for_window "Run Fullscreen?" 30) || e2e_fail "the full-screen question did not appear"
    xdrive_click_yes_no "$box" no
    window=$(xdrive_wait_for_window_size "GL Framework" 1024 768 30) || e2e_fail "no 1024 x 768 window"
    read -r window_id _ <<<"$window"
    # The pointer steers the walking camera: it stays where the program put it.
    e2e_wait_drawn
}

run_city --samples 4
e2e_shot on
press_antialiasing off
e2e_close_expect_0

# Antialiased edges blend the building into the sky: more distinct colours.
colours_on=$(convert on.png -crop "$skyline" +repage -format "%k" info:)
colours_off=$(convert off.png -crop "$skyline" +repage -format "%k" info:)
[ "$colours_on" -gt $((colours_off + colours_off / 100)) ] ||
    e2e_problem "the skyline has $colours_on colours with antialiasing and $colours_off without"
# Only edge pixels change: a small share of the picture (0.6 % here).
changed=$(convert on.png off.png -compose difference -composite -crop "$below_fps" +repage -colorspace Gray \
    -threshold 1% -format "%[fx:mean]" info:)
e2e_more_than "$changed" 0.001 || e2e_problem "switching antialiasing off changed nothing ($changed of the pixels)"
e2e_more_than 0.03 "$changed" || e2e_problem "switching antialiasing off changed more than edges ($changed of the pixels)"

# Without samples the entry changes nothing.
rm -f log.txt
run_city
e2e_shot plain
press_antialiasing plain-pressed
e2e_close_expect_0
change=$(e2e_diff plain.png plain-pressed.png "$below_fps")
e2e_more_than 0.0002 "$change" || e2e_problem "the entry changed a window without samples (difference $change)"
e2e_end_problems
echo "ok: --samples 4 draws antialiased edges ($colours_on colours against $colours_off) that the menu switches off;" \
    "without samples the entry does nothing"
