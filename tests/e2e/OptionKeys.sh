#!/usr/bin/env bash
# End to end: the city scene's option keys, each checked on screenshots of
# the walk start (the camera does not move in between, so the scene behind
# the texts stays the same unless a key changes it):
#   F1  orbit camera and back; the first help text names the other mode
#   F5  "Occlusion Culling disabled", then "... enabled", on the first line
#   T   clears the text buffer
#   F7  the polygon counts on the third line
#   F6  the occlusion buffer: a 600 x 300 grey image at the bottom-left
#   W   wireframe: the clear colour shows between the lines; W again fills
#   L   light tracking: the second help text becomes "Press L to drop the
#       light" and the first light moves to the camera, lighting the view
#   B   the benchmark: its result and frame times in log.txt, the result on
#       the third line of the screen
# Usage: OptionKeys.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"
# The pictures before and after each key are compared and texts found by
# their pure white: nothing may move, no lights may add up to white.
e2e_quiet_city

below_fps=1024x690+0+78
view=1024x600+0+140           # the scene below the texts
top_band=1024x150+0+0
help1=330x20+0+46             # help texts: 24-pixel glyphs at (10, 700) and (10, 680)
help2=330x20+0+66
line1=600x32+0+0              # the text buffer's lines: 32-pixel glyphs from the top
line3=600x32+0+64
occlusion_map=600x300+0+468   # window (0, 0) to (600, 300)
white="r>=0.999 && g>=0.999 && b>=0.999"
sky_blue="b-r>0.2 && b>0.5"

e2e_start
e2e_shot walk
e2e_text_mask walk.png "$help1" walk-help1.png
e2e_text_mask walk.png "$help2" walk-help2.png

# F1: the orbit camera looks down on the city from above: no sky at the top.
# The help text's "orbit" becomes "walk"; "Press F1 to switch to " stays.
e2e_key F1 0.7
e2e_shot orbit
sky=$(xdrive_share orbit.png "$top_band" "$sky_blue" 25%)
e2e_more_than 0.1 "$sky" || e2e_problem "F1 did not switch to the orbit camera (sky share at the top $sky)"
e2e_text_mask orbit.png "$help1" orbit-help1.png
# The glyphs' masks thin out over bright parts of the scene: the unchanged
# start is compared with the walk mask widened by a pixel.
convert walk-help1.png -morphology Dilate Square:1 walk-help1-wide.png
same=$(e2e_new_ink orbit-help1.png walk-help1-wide.png 190x20+10+0)
other=$(e2e_new_ink orbit-help1.png walk-help1.png 100x20+205+0)
e2e_more_than 0.15 "$same" || e2e_problem "F1: the start of the help text changed (new ink $same)"
e2e_more_than "$other" 0.3 || e2e_problem "F1: the help text still names the same mode (new ink $other)"
e2e_key F1 0.7
e2e_shot walk-again
change=$(e2e_diff walk.png walk-again.png "$below_fps")
e2e_more_than 0.002 "$change" || e2e_problem "F1 twice did not bring back the walking view (difference $change)"

# F5 prints the culling state on the text buffer's first line.
empty=$(xdrive_share walk.png "$line1" "$white")
e2e_more_than 0.002 "$empty" || e2e_problem "text on the first line before F5 (white share $empty)"
e2e_key F5
e2e_shot culling-off
e2e_key F5
e2e_shot culling-on
e2e_white_mask culling-off.png "$line1" off.png
e2e_white_mask culling-on.png "$line1" on.png
for state in off on; do
    ink=$(e2e_ink $state.png 600x32+0+0)
    e2e_more_than "$ink" 0.02 || e2e_problem "F5: no text on the first line with culling $state (white share $ink)"
done
# "Occlusion Culling " is the same, "disabled" is one glyph longer than "enabled".
same=$(e2e_new_ink on.png off.png 200x32+0+0)
e2e_more_than 0.1 "$same" || e2e_problem "F5: \"Occlusion Culling\" is not the same in both texts (new ink $same)"
right_off=$(e2e_ink_right off.png)
right_on=$(e2e_ink_right on.png)
[ "$right_off" -gt $((right_on + 2)) ] || e2e_problem "F5: \"disabled\" (ends at $right_off) is not longer than \"enabled\" ($right_on)"
other=$(e2e_new_ink on.png off.png 200x32+$((right_on - 200))+0)
e2e_more_than "$other" 0.3 || e2e_problem "F5: the state word did not change (new ink $other)"

# T empties the text buffer.
e2e_key t
e2e_shot cleared
ink=$(xdrive_share cleared.png "$line1" "$white")
e2e_more_than 0.002 "$ink" || e2e_problem "T did not clear the text (white share $ink)"

# F7 prints "\n\nPolyCount: drawn / total" every frame: the third line.
e2e_key F7
e2e_shot polycount
ink=$(xdrive_share polycount.png "$line3" "$white")
e2e_more_than "$ink" 0.02 || e2e_problem "F7: no polygon counts on the third line (white share $ink)"
e2e_key F7 0.3
e2e_key t
e2e_shot polycount-off
ink=$(xdrive_share polycount-off.png "$line3" "$white")
e2e_more_than 0.002 "$ink" || e2e_problem "F7 a second time (and T): the counts are still printed (white share $ink)"

# F6 shows the occlusion buffer with its bottom-left at the window's: depths
# as grey levels, the far plane (the sky, cleared depth 1) white, the
# buildings darker (with the city's near clip of 8 their depths lie close to
# the far plane's, so "darker" is a light grey).
e2e_key F6
e2e_shot occlusion
grey=$(xdrive_share occlusion.png "$occlusion_map" "abs(r-g)<0.01 && abs(g-b)<0.01" 50%)
far=$(xdrive_share occlusion.png "$occlusion_map" "r>0.98 && g>0.98 && b>0.98" 50%)
near=$(xdrive_share occlusion.png "$occlusion_map" "r<0.97 && abs(r-g)<0.01 && abs(g-b)<0.01" 50%)
e2e_more_than "$grey" 0.98 || e2e_problem "F6: the occlusion map area is not a grey image (grey share $grey)"
e2e_more_than "$far" 0.1 || e2e_problem "F6: the occlusion map shows no far depths (white share $far, grey $grey, dark $near)"
e2e_more_than "$near" 0.05 || e2e_problem "F6: the occlusion map shows no near occluders (dark share $near)"
outside=$(e2e_diff walk.png occlusion.png 424x690+600+78)
e2e_more_than 0.002 "$outside" || e2e_problem "F6 changed the picture outside the map's 600 x 300 (difference $outside)"
e2e_key F6
e2e_shot occlusion-off
change=$(e2e_diff walk.png occlusion-off.png "$below_fps")
e2e_more_than 0.002 "$change" || e2e_problem "F6 a second time did not hide the map (difference $change)"

# W draws lines only: the mid-grey clear colour fills the window between
# them (the sky box is drawn as lines too).
e2e_key w
e2e_shot wireframe
clear_grey=$(xdrive_share wireframe.png 1024x768+0+0 "abs(r-0.502)<0.01 && abs(g-0.502)<0.01 && abs(b-0.502)<0.01" 25%)
lines=$(xdrive_share wireframe.png "$view" "abs(r-0.502)>0.05 || abs(g-0.502)>0.05 || abs(b-0.502)>0.05" 50%)
sky=$(xdrive_share wireframe.png "$top_band" "$sky_blue" 25%)
e2e_more_than "$clear_grey" 0.5 || e2e_problem "W: no clear colour between wireframe lines (share $clear_grey)"
e2e_more_than "$lines" 0.005 || e2e_problem "W: no lines drawn (share $lines)"
e2e_more_than 0.02 "$sky" || e2e_problem "W: the sky is still filled (share $sky)"
e2e_key w
e2e_shot filled
change=$(e2e_diff walk.png filled.png "$below_fps")
e2e_more_than 0.002 "$change" || e2e_problem "W a second time did not fill the polygons again (difference $change)"

# L: the first light follows the camera and lights the street and the
# facades in view; the second help text offers to drop the light.
e2e_key l 0.7
e2e_shot tracking
brighter=$(awk -v a="$(xdrive_mean tracking.png "$view")" -v b="$(xdrive_mean walk.png "$view")" 'BEGIN { print a - b }')
e2e_more_than "$brighter" 0.02 || e2e_problem "L: the light did not move to the camera (brightness change $brighter)"
e2e_text_mask tracking.png "$help2" tracking-help2.png
same=$(e2e_new_ink tracking-help2.png walk-help2.png 90x20+10+0)
e2e_more_than 0.15 "$same" || e2e_problem "L: \"Press L to \" changed (new ink $same)"
# The longer text reaches past x = 240, the shorter one ends before it (the
# lit facade behind may leave specks there, so ink is compared, not ends).
tail_walk=$(e2e_ink walk-help2.png 70x20+245+0)
tail_tracking=$(e2e_ink tracking-help2.png 70x20+245+0)
awk -v w="$tail_walk" -v t="$tail_tracking" 'BEGIN { exit !(w > 0.08 && t < w / 2) }' ||
    e2e_problem "L: the help text did not become the shorter \"Press L to drop the light\" (ink past x = 245: $tail_tracking, was $tail_walk)"
e2e_key l 0.7
e2e_shot dropped
e2e_text_mask dropped.png "$help2" dropped-help2.png
tail_dropped=$(e2e_ink dropped-help2.png 70x20+245+0)
back=$(e2e_new_ink dropped-help2.png walk-help2.png 300x20+10+0)
awk -v w="$tail_walk" -v d="$tail_dropped" 'BEGIN { exit !(d > w * 0.8) }' && e2e_more_than 0.15 "$back" ||
    e2e_problem "L a second time: the help text is not \"Press L to enable light tracking\" again (ink past x = 245: $tail_dropped, new ink $back)"

# B: 100 frames from the fixed place; the result goes to the log (flushed
# there at once) and to the screen.
e2e_benchmark 60
sleep 0.5
e2e_shot benchmark
result=$(grep "^Benchmark result" log.txt)
times=$(grep "^Benchmark frame times" log.txt || true)
[[ "$result" =~ ^Benchmark\ result:\ ([0-9]+\.[0-9]{6})\ FPS$ ]] || e2e_fail "B: result line '$result'"
fps=${BASH_REMATCH[1]}
e2e_more_than "$fps" 0 || e2e_problem "B: the result is $fps FPS"
number='([0-9]+\.[0-9]{2})'
[[ "$times" =~ ^Benchmark\ frame\ times:\ min\ $number\ ms,\ median\ $number\ ms,\ p99\ $number\ ms,\ max\ $number\ ms$ ]] ||
    e2e_fail "B: frame times line '$times'"
awk -v a="${BASH_REMATCH[1]}" -v b="${BASH_REMATCH[2]}" -v c="${BASH_REMATCH[3]}" -v d="${BASH_REMATCH[4]}" \
    'BEGIN { exit !(a > 0 && a <= b && b <= c && c <= d) }' || e2e_problem "B: frame times out of order: $times"
# The mean frame rate lies between the slowest and the fastest frame's.
awk -v f="$fps" -v a="${BASH_REMATCH[1]}" -v d="${BASH_REMATCH[4]}" \
    'BEGIN { exit !(f <= 1000 / a * 1.02 && f >= 1000 / d * 0.98) }' ||
    e2e_problem "B: $fps FPS does not fit the frame times: $times"
[ "$(grep -c "^Benchmark result" log.txt)" = 1 ] || e2e_problem "B: more than one benchmark ran"
ink=$(xdrive_share benchmark.png "$line3" "$white")
e2e_more_than "$ink" 0.02 || e2e_problem "B: no result on the third line of the screen (white share $ink)"

e2e_close_expect_0
e2e_end_problems
echo "ok: F1, F5, T, F7, F6, W, L and B act as expected; benchmark $fps FPS"
