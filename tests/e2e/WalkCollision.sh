#!/usr/bin/env bash
# End to end: the walking camera and the collision map. The walk starts at
# (1600, -1200) in the street along x = 1600, looking down -z along it. The
# buildings west of the street have their collision cells at columns up to 93
# and rows 61 to 93 of the 256 x 256 map, i.e. their blocked area ends at
# x = 93.5 * 4000 / 256 = 1460.9 and spans z from -945.3 to -1460.9.
#  1. Left arrow held: the camera steps sideways (-x) into that building's
#     face and stops in front of it, at z = -1200.
#  2. Left and Up arrows held together: the camera pushes into the face while
#     walking forward and slides along it towards -z.
# The program logs "Walk blocked at (x, z): camera at (x, z)" once when the
# camera meets a wall (target, then where the camera was kept) and "Walk left
# the wall at (x, z)" when it walks free again; the log is read after the
# program has ended.
# Usage: WalkCollision.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"

face=1460.9          # the buildings' east face (edge of column 93)
start_x=1600         # the camera never gets east of its start
start_z=-1200
building_north=-945.3
building_south=-1460.9

e2e_start
e2e_shot start

# The mouse is left alone: the walking camera turns with it.
xdotool keydown Left
sleep 0.5
e2e_shot stopped
# How far the slide got: where the camera left the wall (each line is
# flushed). The contact ends when the keys are let go.
lowest_camera_z() {
    grep "^Walk left the wall at" log.txt 2>/dev/null | tr '(),:' '    ' | awk 'BEGIN { m = 0 } $7 < m { m = $7 } END { print m }'
}
# A slow frame can leave the camera stuck on a step; push again, at most thrice.
for _ in 1 2 3; do
    xdotool keydown Up
    sleep 0.35
    xdotool keyup Up
    xdotool keyup Left
    sleep 0.3
    awk -v z="$(lowest_camera_z)" -v s="$start_z" 'BEGIN { exit !(z < s - 80) }' && break
    xdotool keydown Left
    sleep 0.3
done
xdotool keyup Left
sleep 0.3
e2e_shot slid
e2e_close_expect_0

grep "^Walk blocked at" log.txt >blocked.txt || e2e_fail "no \"Walk blocked\" line in the log: the camera walked into the building"
pattern='^Walk blocked at \(-?[0-9]+\.[0-9], -?[0-9]+\.[0-9]\): camera at \(-?[0-9]+\.[0-9], -?[0-9]+\.[0-9]\)$'
bad=$(grep -Evc "$pattern" blocked.txt || true)
[ "$bad" = 0 ] || e2e_fail "$bad blocked lines do not have the expected form: $(grep -Ev "$pattern" blocked.txt | head -n 1)"

# Columns: target x, target z, camera x, camera z.
tr '(),:' '    ' <blocked.txt | awk '{ print $4, $5, $8, $9 }' >positions.txt
awk -v face="$face" -v start="$start_x" -v start_z="$start_z" -v south="$building_south" -v north="$building_north" '
    {
        ++lines
        # Every target the collision refused lies inside the building ...
        if ($1 >= face || $2 < south - 16 || $2 > north + 16) {
            printf "target (%s, %s) is not in the building\n", $1, $2; bad = 1
        }
        # ... and the camera is always left outside it: where it was before
        # the step, or (sliding) on the middle of a free cell next to it:
        # x = 1468.75 along the face, or past the south end of the building.
        beside = $4 <= north && $4 >= south
        if ($3 > start || (beside && $3 < face)) {
            printf "camera (%s, %s) is inside the building or east of the start\n", $3, $4; bad = 1
        }
        if ($4 <= start_z + 1 && $4 >= start_z - 1) stopped++
    }
    END {
        if (bad) exit 1
        # The camera pushed into the wall over many frames, once per push.
        if (stopped < 1) { printf "no contact stopped the camera at z = %s while stepping sideways\n", start_z; exit 1 }
        if (lines > 4) { printf "%d \"Walk blocked\" lines for at most 4 contacts\n", lines; exit 1 }
        printf "blocked %d times, %d of them head-on at z = %s\n", lines, stopped, start_z
    }' positions.txt || e2e_fail "walk collision: see above (log lines in blocked.txt)"

# Where the camera left the wall: along the face, well south of the start.
grep "^Walk left the wall at" log.txt >left.txt || e2e_fail "no \"Walk left the wall\" line in the log"
tr '(),:' '    ' <left.txt | awk -v face="$face" -v start_z="$start_z" -v south="$building_south" -v north="$building_north" '
    BEGIN { lowest = 0 }
    {
        if ($7 <= north && $7 >= south && $6 < face) { printf "camera (%s, %s) left the wall inside the building\n", $6, $7; bad = 1 }
        if ($7 < lowest) lowest = $7
    }
    END {
        if (bad) exit 1
        if (lowest > start_z - 80) { printf "the camera did not slide along the face (lowest z %s)\n", lowest; exit 1 }
        printf "slid to z = %s\n", lowest
    }' || e2e_fail "walk collision: see above (log lines in left.txt)"

# The camera's view changed while it walked: it stands close to the wall.
change=$(e2e_diff start.png stopped.png 1024x690+0+78)
e2e_more_than "$change" 0.02 || e2e_fail "the view did not change while walking (difference $change)"
echo "ok: the walk stopped at the building's face and slid along it"
