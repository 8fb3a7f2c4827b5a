# Helpers shared by the end-to-end test scripts: a fresh working directory
# holding a copy of the data, the program started there with its full-screen
# question answered, screenshots and measurements on them, and the checks of
# the program's exit.
#
# A script calls e2e_init with its own arguments (CITY CLOSEWINDOW XDRIVE_LIB
# DATA_DIR) and from then on works in "$work". With VANTOR_E2E_SHOTS naming a
# folder, the screenshots and log.txt of every run are copied there (into a
# subfolder named after the script) when the script ends.
#
# Screen areas are given as WIDTHxHEIGHT+X+Y in screen pixels, rows counted
# from the top. The window sits at (0, 0), so these are window pixels too; the
# program's own window coordinates have their origin at the bottom-left, so
# its y becomes 768 - y - height here.

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Reports a failed check and goes on, so that one script can report the
# checks of several independent features; e2e_end_problems fails the script
# when any was reported.
problems=0
e2e_problem() {
    echo "FAIL: $*" >&2
    problems=$((problems + 1))
}
e2e_end_problems() {
    [ "$problems" = 0 ] || e2e_fail "$problems check(s) failed (see above)"
}

# True when the number A is greater than B.
e2e_more_than() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'
}

e2e_finish() {
    if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid" 2>/dev/null || true
    fi
    if [ -n "${VANTOR_E2E_SHOTS:-}" ] && [ -d "${work:-}" ]; then
        local keep
        keep="$VANTOR_E2E_SHOTS/$(basename "$0" .sh)"
        mkdir -p "$keep"
        # Files of subfolders get the folder in their name: run/log.txt is run-log.txt.
        find "$work" -maxdepth 2 \( -name '*.png' -o -name log.txt \) -exec sh -c \
            'keep=$1 work=$2; shift 2; for f; do cp "$f" "$keep/$(echo "${f#"$work"/}" | tr / -)"; done' \
            sh "$keep" "$work" {} + || true
    fi
    if [ -d "${work:-}" ]; then
        rm -rf "$work"
    fi
}

# e2e_init CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR: sources the display helpers
# and makes the working directory "$work" (removed at exit) with the data.
e2e_init() {
    city=$(realpath "$1")
    CLOSEWINDOW=$(realpath "$2")
    export CLOSEWINDOW
    # shellcheck source=../../scripts/lib/xdrive.sh
    source "$3"
    data=$(realpath "$4")
    pid=
    work=$(mktemp -d)
    trap e2e_finish EXIT
    cp -r "$data"/. "$work"/
    rm -f "$work"/log.txt
    cd "$work" || exit 1
}

# Leaves the cars, pedestrians and birds and all lights but a dimmed first
# one out of the scene of the working directory, for checks that compare
# pictures taken at different times and look for the pure white of the
# texts: nothing moves, and no surface of the city adds up to pure white.
e2e_quiet_city() {
    local config="config files/init.xml"
    grep -vF -e 'models\cars\' -e 'models\pedestrians\' -e 'models\birds\' "$config" |
        awk '/<light / { ++light }
             light > 1 && /<light /, light > 1 && /<\/light>/ { next }
             light == 1 && /<diffuse / { sub(/<diffuse .*\/>/, "<diffuse r=\"0.3\" g=\"0.3\" b=\"0.3\" a=\"1\"/>") }
             light == 1 && /<specular / { sub(/<specular .*\/>/, "<specular r=\"0\" g=\"0\" b=\"0\" a=\"1\"/>") }
             { print }' >"$config.quiet"
    mv "$config.quiet" "$config"
    [ "$(grep -c "<light" "$config")" = 1 ] || e2e_fail "the quiet city does not have one light"
}

# Starts the program in the current directory and answers "No" to its
# full-screen question; sets pid.
e2e_start_answered() {
    "$city" &
    pid=$!
    local box
    box=$(xdrive_wait_for_window "Run Fullscreen?" 30) || e2e_fail "the full-screen question did not appear"
    xdrive_click_yes_no "$box" no
}

# Starts the program, answers "No", waits for its 1024 x 768 window at (0, 0)
# and for the first drawn frame of the city; sets pid, window ("ID X Y W H")
# and window_id.
e2e_start() {
    e2e_start_answered
    window=$(xdrive_wait_for_window_size "GL Framework" 1024 768 30) ||
        e2e_fail "no 1024 x 768 window named GL Framework (last seen: $window)"
    local x y
    read -r window_id x y _ _ <<<"$window"
    [ "$x" = 0 ] && [ "$y" = 0 ] || e2e_fail "the window is at ($x, $y), not (0, 0)"
    e2e_wait_drawn
}

# Waits up to 30 seconds until the window shows more than a black frame.
e2e_wait_drawn() {
    local deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ]; do
        kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended before it drew the city"
        xdrive_screenshot "$window" drawn-wait.png
        if e2e_more_than "$(xdrive_mean drawn-wait.png 1024x768+0+0)" 0.15; then
            rm -f drawn-wait.png
            # Let the frame rate settle after the loading frame.
            sleep 1
            return 0
        fi
        sleep 0.3
    done
    e2e_fail "the window stayed black for 30 s"
}

# Presses B and waits up to SECONDS for the benchmark's result line in
# log.txt (the program flushes it at once).
e2e_benchmark() {
    local deadline=$((SECONDS + $1))
    xdrive_press b
    until grep -q "^Benchmark result" log.txt; do
        [ $SECONDS -lt $deadline ] || e2e_fail "B: no benchmark result in log.txt after $1 s"
        kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended during the benchmark"
        sleep 0.3
    done
}

# Saves a screenshot of the window to NAME.png.
e2e_shot() {
    xdrive_screenshot "$window" "$1.png"
}

# Waits up to SECONDS for the program to end and sets status to its exit
# code; a program still running is killed and the test fails.
e2e_wait_exit() {
    local seconds=$1 deadline=$((SECONDS + $1))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid" 2>/dev/null || true
        e2e_fail "the program did not exit within $seconds s (hang)"
    fi
    status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" -lt 128 ] || e2e_fail "the program died of signal $((status - 128)) (crash)"
}

# Closes the window as a window manager's close button does and expects a
# normal exit with code 0.
e2e_close_expect_0() {
    xdrive_close_window "$window_id"
    e2e_wait_exit 10
    [ "$status" = 0 ] || e2e_fail "exit code $status after the window was closed"
}

# Presses KEY and waits for the frames that show its effect.
e2e_key() {
    xdrive_press "$1"
    sleep "${2:-0.5}"
}

# The mean absolute difference (0 to 1, grey) of images A and B in AREA.
e2e_diff() {
    convert "$1" "$2" -compose difference -composite -crop "$3" +repage -colorspace Gray \
        -format "%[fx:mean]" info:
}

# The bounding box WxH+X+Y (screen pixels) of the pixels of AREA that differ
# between images A and B by more than 2 % in grey; "none" when none do.
e2e_changed_box() {
    local area=$3 changes ox oy w h x y
    ox=${area#*+}
    oy=${ox#*+}
    ox=${ox%%+*}
    changes=$(mktemp --suffix=.png)
    convert "$1" "$2" -compose difference -composite -crop "$area" +repage -colorspace Gray -threshold 2% "$changes"
    if [ "$(convert "$changes" -format "%[fx:maxima]" info:)" = 0 ]; then
        echo none
    else
        read -r w h x y <<<"$(convert "$changes" -format "%@" info: | tr 'x+' '  ')"
        echo "${w}x${h}+$((x + ox))+$((y + oy))"
    fi
    rm -f "$changes"
}

# True when box A (WxH+X+Y) matches box B within TOLERANCE pixels on every edge.
e2e_box_near() {
    local a b tolerance=${3:-2}
    a=$(echo "$1" | tr 'x+' '  ')
    b=$(echo "$2" | tr 'x+' '  ')
    awk -v a="$a" -v b="$b" -v t="$tolerance" 'BEGIN {
        split(a, p, " "); split(b, q, " ")
        d[1] = p[3] - q[3]; d[2] = p[4] - q[4]
        d[3] = p[3] + p[1] - q[3] - q[1]; d[4] = p[4] + p[2] - q[4] - q[2]
        for (i = 1; i <= 4; ++i) if (d[i] > t || d[i] < -t) exit 1
    }'
}

# Writes to OUT the glyph strokes of AREA of image FILE: thin lines brighter
# than their surroundings (a white top-hat of the grey image), whatever the
# background behind the text.
e2e_text_mask() {
    convert "$1" -crop "$2" +repage -colorspace Gray -morphology TopHat Disk:2 -threshold 12% "$3"
}

# Writes to OUT the pure white pixels of AREA of image FILE: the 32-pixel
# white text of the text buffer and the frame counter (the scene has none).
e2e_white_mask() {
    convert "$1" -crop "$2" +repage -fx "r>=0.999 && g>=0.999 && b>=0.999" "$3"
}

# The share of the pixels of AREA (in mask coordinates) set in MASK.
e2e_ink() {
    convert "$1" -crop "$2" +repage -format "%[fx:mean]" info:
}

# The share of NEW's ink in AREA (mask coordinates) that OLD does not have:
# near 0 where both masks show the same text, high where NEW shows other text.
e2e_new_ink() {
    local ink extra
    ink=$(e2e_ink "$1" "$3")
    extra=$(convert "$1" "$2" -crop "$3" +repage -fx "u>0.5 && v<0.5" -format "%[fx:mean]" info: | tail -n 1)
    awk -v i="$ink" -v e="$extra" 'BEGIN { print (i > 0 ? e / i : 0) }'
}

# The column just right of the last ink of MASK; 0 without ink.
e2e_ink_right() {
    local box w x
    if [ "$(convert "$1" -format "%[fx:maxima]" info:)" = 0 ]; then
        echo 0
        return
    fi
    box=$(convert "$1" -format "%@" info:)
    w=${box%%x*}
    x=${box#*+}
    x=${x%%+*}
    echo $((x + w))
}
