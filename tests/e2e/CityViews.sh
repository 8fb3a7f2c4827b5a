#!/usr/bin/env bash
# End to end: the city as a person sees it. Screenshots from the walking
# camera on its street ("walk", and "walk-later" a second after), from the
# orbit above the centre ("orbit") and of the benchmark's last frame
# ("benchmark"). Between the two walking shots cars, pedestrians and birds
# move while the camera stands still; the view holds buildings of several
# colours against the sky; the orbit looks down on the lit city; the log
# holds the start-up time and the benchmark's lines. With VANTOR_E2E_SHOTS
# set the shots are kept (see e2e-lib.sh).
# Usage: CityViews.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"

e2e_start
e2e_shot walk
sleep 1
e2e_shot walk-later

# Sky above, street and facades below: the lower two thirds of the view are
# neither sky blue nor black.
sky=$(xdrive_share walk.png 1024x120+0+100 "b-r>0.1 && b>0.25" 25%)
e2e_more_than "$sky" 0.05 || e2e_problem "no sky above the street (share $sky)"
city=$(xdrive_share walk.png 1024x400+0+330 "!(b-r>0.2 && b>0.5) && (r+g+b>0.15)" 25%)
e2e_more_than "$city" 0.8 || e2e_problem "the street and its buildings fill too little of the view (share $city)"
# Only the movers change between the two shots (the frame counter's corner
# left out): something moves, but not the whole picture.
moved=$(e2e_diff walk.png walk-later.png 1024x640+0+90)
e2e_more_than "$moved" 0.0005 || e2e_problem "nothing moved in a second (difference $moved)"
e2e_more_than 0.08 "$moved" || e2e_problem "the whole view changed in a second (difference $moved)"

# The orbit: over the centre of the city, looking down on roofs and streets.
e2e_key F1 1.5
e2e_shot orbit
lit=$(xdrive_share orbit.png 1024x500+0+260 "r+g+b>0.6" 25%)
e2e_more_than "$lit" 0.3 || e2e_problem "the orbit view is dark (lit share $lit)"

# Back on the street for the benchmark.
e2e_key F1 1.5
e2e_benchmark 90
e2e_shot benchmark

e2e_close_expect_0
grep -q "^City drawn [0-9]* ms after the start" log.txt || e2e_problem "no start-up time in the log"
e2e_end_problems
echo "ok: $(grep "^City drawn" log.txt); $(grep "^Benchmark result" log.txt); moved $moved"
