#!/usr/bin/env bash
# End to end: the main menu, the options menu and the console of the running
# city. Escape opens the main menu (600 x 600, centred); while it is open the
# scene's keys do nothing; "Options" swaps in the options menu (400 x 400,
# centred) and "Back" swaps the main menu back; Escape closes the GUI. The
# key left of 1 opens the console, which shows what is typed and keeps the
# scene's keys from acting, and closes it again. Finally "Quit" in the main
# menu ends the program with exit code 0. Every step is checked on a
# screenshot against the scene before it.
# Usage: GuiAndConsole.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"
# The pictures before and after each key are compared and texts found by
# their pure white: nothing may move, no lights may add up to white.
e2e_quiet_city

# Below the frame counter (rows 36 to 72), which changes every frame.
below_fps=1024x690+0+78
main_menu=600x600+212+84      # the main menu: window (212, 84), 600 x 600
options_menu=400x400+312+184  # the options menu: window (312, 184), 400 x 400
# Button centres: the main menu stacks "Options" and "Quit" from its top,
# the options menu has "Back" at relative y 236 (window y 420 to 452).
options_button="512 128"
quit_button="512 180"
back_button="512 332"
away="1200 900"               # off the window: no cursor drawn in it
top_line=600x32+0+0           # the text buffer's first line
pane=990x334+10+40            # the console's shaded pane: window (10, 394) to (1000, 728)
typed=200x32+60+68            # the console's first line of text

e2e_start
e2e_shot scene

# Escape opens the main menu: exactly its square changes (it is drawn
# translucent over the scene, with the mouse cursor, shown at the centre).
e2e_key Escape 0.7
e2e_shot menu
box=$(e2e_changed_box scene.png menu.png "$below_fps")
e2e_box_near "$box" "$main_menu" || e2e_fail "the main menu covers $box, not $main_menu"
ratio=$(awk -v a="$(xdrive_mean menu.png 560x200+232+450)" -v b="$(xdrive_mean scene.png 560x200+232+450)" \
    'BEGIN { print a / b }')
awk -v r="$ratio" 'BEGIN { exit !(r > 0.4 && r < 0.9) }' || e2e_fail "the menu does not shade the scene (ratio $ratio)"
labels=$(xdrive_share menu.png 150x60+437+110 "r>0.9 && g>0.9 && b>0.9")
e2e_more_than "$labels" 0.02 || e2e_fail "no button labels at the top of the main menu (white share $labels)"

# No key of the scene acts while the menu is open: no occlusion map (F6),
# no wireframe (W), no orbit camera (F1), no texts (F5, F7), no benchmark (B),
# no light tracking (L).
for key in F6 w F1 F5 F7 b l; do
    xdrive_press "$key"
done
sleep 0.7
e2e_shot menu-keys
change=$(e2e_diff menu.png menu-keys.png "$below_fps")
e2e_more_than 0.002 "$change" || e2e_fail "keys pressed with the menu open changed the picture (difference $change)"
top=$(xdrive_share menu-keys.png "$top_line" "r>=0.999 && g>=0.999 && b>=0.999")
e2e_more_than 0.002 "$top" || e2e_fail "a key printed text while the menu was open (white share $top)"

# "Options" swaps in the options menu.
xdrive_move_mouse $options_button
sleep 0.3
xdotool click 1
sleep 0.3
xdrive_move_mouse $away
sleep 0.7
e2e_shot options
box=$(e2e_changed_box scene.png options.png "$below_fps")
e2e_box_near "$box" "$options_menu" || e2e_fail "after Options the GUI covers $box, not the options menu $options_menu"

# "Back" brings the main menu back.
xdrive_move_mouse $back_button
sleep 0.3
xdotool click 1
sleep 0.3
xdrive_move_mouse $away
sleep 0.7
e2e_shot back
box=$(e2e_changed_box scene.png back.png "$below_fps")
e2e_box_near "$box" "$main_menu" || e2e_fail "after Back the GUI covers $box, not the main menu $main_menu"

# Escape closes the GUI: the scene shows as before, and nothing of the keys
# pressed while it was open has taken effect.
e2e_key Escape 0.7
e2e_shot closed
change=$(e2e_diff scene.png closed.png "$below_fps")
e2e_more_than 0.002 "$change" || e2e_fail "the scene differs after the menu closed (difference $change)"

# The key left of 1 opens the console: a dark pane; what is typed shows in it.
dark_before=$(xdrive_share closed.png "$pane" "max(r,max(g,b))<0.3" 50%)
xdrive_press grave
sleep 0.5
xdotool type --delay 50 "hello"
sleep 0.5
e2e_shot console
dark=$(xdrive_share console.png "$pane" "max(r,max(g,b))<0.3" 50%)
e2e_more_than "$dark" 0.85 || e2e_fail "no dark console pane (share $dark, before $dark_before)"
text=$(xdrive_share console.png "$typed" "r>0.9 && g>0.9 && b>0.9")
e2e_more_than "$text" 0.015 || e2e_fail "the typed text does not show (white share $text)"

# While the console is open F5 does not reach the scene (it would print
# "Occlusion Culling disabled" on the first line, above the pane).
xdrive_press F5
sleep 0.5
xdrive_press grave
sleep 0.7
e2e_shot console-closed
change=$(e2e_diff scene.png console-closed.png "$below_fps")
e2e_more_than 0.002 "$change" || e2e_fail "the console is still shown after its key (difference $change)"
top=$(xdrive_share console-closed.png "$top_line" "r>=0.999 && g>=0.999 && b>=0.999")
e2e_more_than 0.002 "$top" || e2e_fail "F5 reached the scene while the console was open (white share $top)"

# "Quit" ends the program normally.
e2e_key Escape 0.7
xdrive_move_mouse $quit_button
sleep 0.3
xdotool click 1
e2e_wait_exit 10
[ "$status" = 0 ] || e2e_fail "exit code $status after Quit"
! grep -q "Benchmark result" log.txt || e2e_fail "B started the benchmark while the menu was open"
echo "ok: main menu at (212, 84) 600x600, options menu at (312, 184) 400x400, Back, keys inert with the menu open;" \
    "console opened, typed into, closed; Quit: exit code 0"
