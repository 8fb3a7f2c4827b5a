#!/usr/bin/env bash
# Plots the frame times of a benchmark run to a PNG (about 1200x500) with
# gnuplot: frame time over frame number, a dashed vertical line where each
# segment of the flight begins and its name above its span, and the median
# and p99 of the run as horizontal lines. The median, p99, renderer, size and
# frame rate come from the run's result file, so the plot shows the figures
# the program reported.
# Usage: plot-frames.sh FRAME_LOG.csv RESULTS.json OUT.png
#   FRAME_LOG.csv: "frame,segment,frame_ms,cpu_ms", then one line per frame.
#   RESULTS.json:  the result file ("frame_ms": {"median", "p99"}, "fps",
#                  "renderer": {"renderer"}, "size": [w, h]).
set -euo pipefail

fail() {
    echo "plot-frames: $*" >&2
    exit 1
}

[ $# -eq 3 ] || fail "usage: plot-frames.sh FRAME_LOG.csv RESULTS.json OUT.png"
frames=$1
results=$2
out=$3

for f in "$frames" "$results"; do
    [ -e "$f" ] || fail "$f: no such file"
    if [ ! -f "$f" ] || [ ! -r "$f" ]; then fail "$f: not a readable file"; fi
    [ -s "$f" ] || fail "$f: empty"
done
command -v gnuplot >/dev/null 2>&1 || fail "gnuplot not found (Debian package gnuplot-nox)"

# Flattens the JSON into "path<TAB>value" lines (frame_ms.median, size.0,
# renderer.renderer, ...), strings unquoted. Any layout is accepted as long
# as no string spans lines, which JSON does not allow anyway.
flatten_json() {
    awk '
    function unescape(t,    r, i, c, n) {
        r = ""
        n = length(t)
        for (i = 2; i < n; i++) {
            c = substr(t, i, 1)
            if (c == "\\") {
                c = substr(t, ++i, 1)
                if (c == "n") c = "\n"
                else if (c == "t") c = " "
                else if (c == "r" || c == "b" || c == "f") c = ""
            }
            r = r c
        }
        return r
    }
    function name(    c) {
        if (type[depth] == "a") return idx[depth]++
        return key[depth]
    }
    function path(c,    p, i) {
        p = ""
        for (i = 2; i <= depth; i++) p = p part[i] "."
        return p c
    }
    function push(t,    c) {
        c = (depth > 0) ? name() : ""
        depth++
        type[depth] = t
        part[depth] = c
        idx[depth] = 0
        want_key = (t == "o")
    }
    function pop() {
        depth--
        want_key = (type[depth] == "o")
    }
    function token(t) {
        if (t == "{") push("o")
        else if (t == "[") push("a")
        else if (t == "}" || t == "]") pop()
        else if (t == ":" || t == ",") return
        else if (depth == 0) exit 1
        else if (type[depth] == "o" && want_key) {
            key[depth] = unescape(t)
            want_key = 0
        } else {
            if (substr(t, 1, 1) == "\"") v = unescape(t); else v = t
            print path(name()) "\t" v
            want_key = (type[depth] == "o")
        }
    }
    {
        s = $0
        while (s != "") {
            if (match(s, /^[ \t\r]+/)) {
                s = substr(s, RLENGTH + 1)
            } else if (match(s, /^[][{}:,]/)) {
                token(substr(s, 1, 1))
                s = substr(s, 2)
            } else if (match(s, /^"([^"\\]|\\.)*"/) ||
                       match(s, /^[^][{}:, \t\r"]+/)) {
                token(substr(s, 1, RLENGTH))
                s = substr(s, RLENGTH + 1)
            } else {
                exit 1
            }
        }
    }' "$1"
}
json=$(flatten_json "$results") || fail "$results: not JSON"

get() {
    awk -F '\t' -v k="$1" '$1 == k { print substr($0, length(k) + 2); exit }' <<<"$json"
}
is_number() {
    [[ $1 =~ ^-?[0-9]+(\.[0-9]+)?([eE][-+]?[0-9]+)?$ ]]
}
# As the program wrote it, unless it carries more than two decimals.
short() {
    if [[ $1 =~ ^-?[0-9]+(\.[0-9]{1,2})?$ ]]; then
        printf '%s' "$1"
    else
        awk -v v="$1" 'BEGIN { printf "%.2f", v }'
    fi
}
# A gnuplot string literal: single-quoted, quotes doubled.
quote() {
    local q="'"
    printf "'%s'" "${1//$q/$q$q}"
}

median=$(get frame_ms.median)
p99=$(get frame_ms.p99)
is_number "$median" || fail "$results: no frame_ms.median"
is_number "$p99" || fail "$results: no frame_ms.p99"

renderer=$(get renderer.renderer)
[ -n "$renderer" ] || renderer=$(get renderer)
width=$(get size.0)
height=$(get size.1)
fps=$(get fps)
title="city --benchmark"
details=()
[ -n "$renderer" ] && details+=("$renderer")
is_number "$width" && is_number "$height" && details+=("${width}x${height}")
is_number "$fps" && details+=("$(short "$fps") FPS")
if [ ${#details[@]} -gt 0 ]; then
    title+=": ${details[0]}"
    for d in "${details[@]:1}"; do title+=", $d"; done
fi

# The frame range, the slowest frame and the segments, one
# "start<TAB>end<TAB>name" line each, in order.
summary=$(awk -F ',' -v median="$median" -v p99="$p99" '
    NR == 1 { next }
    { sub(/\r$/, "") }
    NF == 0 { next }
    $1 !~ /^[0-9]+$/ || $3 !~ /^-?[0-9.]+([eE][-+]?[0-9]+)?$/ {
        printf "line %d: not \"frame,segment,frame_ms,cpu_ms\"\n", NR
        bad = 1
        exit
    }
    {
        f = $1 + 0
        ms = $3 + 0
        if (n == 0) { first = f; top = ms }
        last = f
        if (ms > top) top = ms
        if (n == 0 || $2 != seg[ns]) {
            ns++
            seg[ns] = $2
            start[ns] = f
        }
        end[ns] = f
        n++
    }
    END {
        if (bad) exit 1
        if (n == 0) { print "no frames"; exit 1 }
        if (median > top) top = median
        if (p99 > top) top = p99
        print first "\t" last "\t" top
        for (i = 1; i <= ns; i++) print start[i] "\t" end[i] "\t" seg[i]
    }' "$frames") || fail "$frames: $summary"

{
    IFS=$'\t' read -r first last top
    segments=()
    while IFS= read -r line; do segments+=("$line"); done
} <<<"$summary"

if [ "$first" = "$last" ]; then
    xrange="[$((first - 1)):$((last + 1))]"
    style="points pt 7 ps 0.6"
else
    xrange="[$first:$last]"
    style="lines lw 1"
fi
# Head room above the slowest frame for the segment names.
ymax=$(awk -v t="$top" 'BEGIN { printf "%.6g", (t > 0 ? t : 1) * 1.18 }')

if gnuplot -e 'set terminal pngcairo' >/dev/null 2>&1; then
    terminal="pngcairo size 1200,500 noenhanced font 'Sans,10'"
else
    terminal="png size 1200,500 noenhanced"
fi

out_dir=$(dirname -- "$out")
[ -d "$out_dir" ] || fail "$out_dir: no such directory"
tmp=$(mktemp "$out_dir/.plot-frames.XXXXXX") || fail "$out_dir: cannot write there"
trap 'rm -f "$tmp"' EXIT
trap 'exit 1' HUP INT TERM

# gnuplot reads "-" as its standard input and "<cmd" as a command's output.
case $frames in
    /*) data=$frames ;;
    *) data=./$frames ;;
esac

marks=""
for s in "${segments[@]}"; do
    IFS=$'\t' read -r start end name <<<"$s"
    if [ "$start" != "$first" ]; then
        marks+="set arrow from first $start, graph 0 to first $start, graph 1 nohead lw 1 dt 2 lc rgb '#808080' back"$'\n'
    fi
    marks+="set label $(quote "$name") at first $(((start + end) / 2)), graph 0.955 center tc rgb '#404040' front"$'\n'
done

if ! err=$(gnuplot 2>&1 >/dev/null <<EOF
set terminal $terminal
set output $(quote "$tmp")
set datafile separator ','
set title $(quote "$title") font ',11'
set xlabel 'frame' offset 0,0.4
set ylabel 'frame time (ms)'
set xrange $xrange
set yrange [0:$ymax]
set xtics nomirror out
set ytics nomirror out
set mxtics
set grid ytics lt 1 lc rgb '#dcdcdc' lw 1
set border 3
set key below horizontal samplen 3 width 3 height 1.2
$marks
plot $(quote "$data") skip 1 using 1:3 with $style lc rgb '#1f5fa8' title 'frame time', \\
     $median with lines lw 2 dt 2 lc rgb '#2a9d3a' title $(quote "median $(short "$median") ms"), \\
     $p99 with lines lw 2 dt 4 lc rgb '#d03030' title $(quote "p99 $(short "$p99") ms")
set output
EOF
); then
    # Its last message, without the echoed command, the caret under it and
    # the line number of the script on its standard input.
    why=$(sed -n 's/^[[:space:]]*\(line [0-9]*: \)\{0,1\}//; /[^[:space:]^]/p' <<<"$err" | tail -n 1)
    fail "gnuplot failed: ${why:-no message}"
fi
[ -s "$tmp" ] || fail "gnuplot wrote nothing"
chmod "$(printf "%o" $((0666 & ~$(umask))))" "$tmp"
mv -f -- "$tmp" "$out" || fail "$out: cannot write"
