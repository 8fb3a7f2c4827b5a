#!/usr/bin/env bash
# End to end: the unattended benchmark. A bad command line is refused before
# any window opens (no display is even asked for) with exit code 2, one line
# on standard error and no file written; a configuration that fails during
# the run ends with exit code 1 and its message on standard error (as does
# a collision map that cannot be read, while a 24-bit one is read); and
# `city --benchmark --frames 120` run twice exits 0 both times, prints its
# summary, writes its results and frame log, and captures the same pixels of
# the same frame.
# Usage: TourBenchmark.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "$@"
mkdir out

status=0
DISPLAY= "$city" --benchmark --frames 0 --results out/refused.json >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 2 ] || e2e_problem "a bad --frames ended with code $status, not 2"
[ "$(wc -l <stderr.txt)" = 1 ] && grep -q '^city: --frames: "0"' stderr.txt ||
    e2e_problem "a bad --frames did not say so in one line: $(cat stderr.txt)"
[ ! -s stdout.txt ] && [ ! -e out/refused.json ] || e2e_problem "a refused command line wrote something"

cp -r "$work/config files" broken
echo "<notinit/>" >"broken/init.xml"
status=0
"$city" --benchmark --config broken/init.xml --frames 5 --results out/broken.json >stdout.txt 2>stderr.txt ||
    status=$?
[ "$status" = 1 ] || e2e_problem "a bad configuration ended with code $status, not 1"
grep -q "init.xml is invalid" stderr.txt || e2e_problem "the fatal error is not on standard error: $(cat stderr.txt)"
[ ! -e out/broken.json ] || e2e_problem "a failed run wrote its results"

# A collision map saved with 24-bit colour reads as its first channel; one
# that cannot be read stops the start with "Collision map not found".
cp images/colmap.bmp colmap8.bmp
convert colmap8.bmp -type TrueColor BMP3:images/colmap.bmp
status=0
"$city" --benchmark --frames 2 >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 0 ] || e2e_problem "a 24-bit collision map ended the run with code $status: $(cat stderr.txt)"
head -c 20 colmap8.bmp >images/colmap.bmp
status=0
"$city" --benchmark --frames 2 >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -q "Collision map not found" stderr.txt ||
    e2e_problem "a cut collision map ended with code $status and: $(cat stderr.txt)"
mv colmap8.bmp images/colmap.bmp

for run in 1 2; do
    status=0
    timeout 120 "$city" --benchmark --frames 120 --results "out/results$run.json" --frame-log "out/frames$run.csv" \
        --capture "60:out/frame60-$run.png" >"out/summary$run.txt" 2>"out/stderr$run.txt" || status=$?
    cat "out/summary$run.txt" "out/stderr$run.txt"
    [ "$status" = 0 ] || e2e_fail "run $run ended with code $status"
done

# Pass times: each pass of the scene finished and timed.
status=0
"$city" --benchmark --frames 10 --pass-times --results out/passes.json >out/passes.txt 2>&1 || status=$?
[ "$status" = 0 ] || e2e_problem "the run with --pass-times ended with code $status: $(cat out/passes.txt)"
for pass in base "volumes 0" "light 0" "light 2" ambient; do
    grep -q "^    \"$pass\": [0-9.]*,\?$" out/passes.json || e2e_problem "no time of the pass \"$pass\" in the results"
done

grep -q "^score: [0-9.]* FPS (120 frames in [0-9.]* s), 1% low [0-9.]* FPS$" out/summary1.txt ||
    e2e_problem "the summary has no score line"
for segment in street landmark rooftops centre park; do
    grep -q "^  $segment .* FPS   median [0-9.]* ms$" out/summary1.txt || e2e_problem "no figures for $segment"
done
for key in '"renderer": {' '"vendor":' '"size": \[' '"samples": 0' '"fullscreen": false' '"offscreen": false' \
    '"frames": 120' '"seconds":' '"fps":' '"frame_ms": {' '"p99":' '"low_1pct_fps":' '"cpu_ms_per_frame":' \
    '"triangles_per_frame":' '"segments": \['; do
    grep -q "$key" out/results1.json || e2e_problem "the results have no $key"
done
[ "$(wc -l <out/frames1.csv)" = 121 ] || e2e_problem "the frame log does not have a header and 120 lines"
sed -n 2p out/frames1.csv | grep -Eq '^0,street,[0-9]+\.[0-9]{3},[0-9]+\.[0-9]{3}$' ||
    e2e_problem "the frame log's first line is '$(sed -n 2p out/frames1.csv)'"

[ "$(identify -format "%wx%h" out/frame60-1.png)" = 1024x768 ] || e2e_problem "the capture is not 1024 x 768"
cmp -s out/frame60-1.png out/frame60-2.png ||
    e2e_problem "frame 60 differs between two runs ($(compare -metric AE out/frame60-1.png out/frame60-2.png null: 2>&1) pixels)"
# The capture shows the city, not a blank buffer.
colours=$(identify -format "%k" out/frame60-1.png)
[ "$colours" -gt 1000 ] || e2e_problem "the capture has only $colours colours"
e2e_end_problems
echo "ok: bad command line refused with code 2, fatal error with code 1, two tours with the same frame 60"
