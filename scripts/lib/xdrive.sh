# Functions that drive the program on an X display without a window manager:
# find its windows, answer its message boxes by clicking them, take
# screenshots and close windows. Sourced by scripts/run and the end-to-end tests.
# Needs xwininfo, xdotool, ImageMagick and the closewindow tool (CLOSEWINDOW).

# Prints "ID X Y WIDTH HEIGHT" of the first top-level window named NAME.
xdrive_find_window() {
    local name=$1
    xwininfo -root -children 2>/dev/null | awk -v name="\"$name\":" '
        index($0, name) {
            for (i = 1; i <= NF; i++)
                if ($i ~ /^[0-9]+x[0-9]+[+-][0-9]+[+-][0-9]+$/) {
                    split($i, g, /[x+]/)
                    print $1, g[3], g[4], g[1], g[2]
                    exit
                }
        }'
}

# Prints "ID X Y WIDTH HEIGHT" of the first top-level window without a name:
# the program's message boxes (OK boxes have an empty caption).
xdrive_find_unnamed_window() {
    xwininfo -root -children 2>/dev/null | awk '
        /\(has no name\)/ && !/root window/ {
            for (i = 1; i <= NF; i++)
                if ($i ~ /^[0-9]+x[0-9]+[+-][0-9]+[+-][0-9]+$/) {
                    split($i, g, /[x+]/)
                    print $1, g[3], g[4], g[1], g[2]
                    exit
                }
        }'
}

# Waits up to SECONDS for a window named NAME and prints its geometry.
xdrive_wait_for_window() {
    local name=$1 seconds=${2:-20} found
    local deadline=$((SECONDS + seconds))
    while [ $SECONDS -lt $deadline ]; do
        found=$(xdrive_find_window "$name")
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# Waits up to SECONDS for the window named NAME to reach WIDTH x HEIGHT and
# prints its geometry; prints the last geometry seen and fails otherwise.
xdrive_wait_for_window_size() {
    local name=$1 width=$2 height=$3 seconds=${4:-20} found id x y w h
    local deadline=$((SECONDS + seconds))
    while :; do
        found=$(xdrive_find_window "$name")
        if [ -n "$found" ]; then
            read -r id x y w h <<<"$found"
            if [ "$w" = "$width" ] && [ "$h" = "$height" ]; then
                echo "$found"
                return 0
            fi
        fi
        [ $SECONDS -ge $deadline ] && break
        sleep 0.2
    done
    echo "$found"
    return 1
}

# Waits until no window named NAME is left.
xdrive_wait_for_no_window() {
    local name=$1 seconds=${2:-10}
    local deadline=$((SECONDS + seconds))
    while [ $SECONDS -lt $deadline ]; do
        [ -z "$(xdrive_find_window "$name")" ] && return 0
        sleep 0.2
    done
    return 1
}

# Clicks the Yes or No button of a Yes/No box given as "ID X Y WIDTH HEIGHT".
# The message boxes centre their two buttons in the bottom row: Yes left of
# the centre line, No right of it, both 25 pixels above the bottom edge.
xdrive_click_yes_no() {
    local geometry=$1 answer=$2 id x y w h bx
    read -r id x y w h <<<"$geometry"
    if [ "$answer" = yes ]; then bx=$((x + w / 2 - 47)); else bx=$((x + w / 2 + 42)); fi
    xdotool mousemove "$bx" $((y + h - 25)) click 1
}

# Clicks the only button of an OK box given as "ID X Y WIDTH HEIGHT": it sits
# centred in the bottom row, 25 pixels above the bottom edge.
xdrive_click_ok() {
    local geometry=$1 id x y w h
    read -r id x y w h <<<"$geometry"
    xdotool mousemove $((x + w / 2)) $((y + h - 25)) click 1
}

# Saves the screen area of a window given as "ID X Y WIDTH HEIGHT" to FILE.
xdrive_screenshot() {
    local geometry=$1 file=$2 id x y w h
    read -r id x y w h <<<"$geometry"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$file"
}

# Sends the close request of a window manager's close button to window ID.
xdrive_close_window() {
    "${CLOSEWINDOW:?CLOSEWINDOW names the closewindow tool}" "$1"
}

# The mean brightness (0 to 1) of the area WIDTHxHEIGHT+X+Y of image FILE.
xdrive_mean() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format "%[fx:mean]" info:
}

# The share of the pixels of the area WIDTHxHEIGHT+X+Y of image FILE for
# which the ImageMagick fx expression EXPR holds, on a copy scaled to SCALE
# (100% unless given; fx is slow on large areas).
xdrive_share() {
    convert "$1" -crop "$2" +repage -scale "${4:-100%}" -fx "$3" -format "%[fx:mean]" info:
}

# Moves the pointer to screen position (X, Y) so that the program reads it.
# An absolute move is a pointer warp, which sends no raw motion event, and
# SDL re-reads the global cursor position only after one; a relative step
# there and back sends one.
xdrive_move_mouse() {
    xdotool mousemove "$1" "$2" mousemove_relative -- 1 0 mousemove_relative -- -1 0
}

# Presses KEY (an xdotool key name) and holds it for a tenth of a second (or
# XDRIVE_HOLD seconds, for a slow program such as a sanitized build), so
# that it is down during at least one frame: the program's toggle keys act on
# a key that is down now and was not in the previous frame, and miss a key
# that goes down and up between two frames.
xdrive_press() {
    xdotool keydown "$1"
    sleep "${XDRIVE_HOLD:-0.1}"
    xdotool keyup "$1"
}
