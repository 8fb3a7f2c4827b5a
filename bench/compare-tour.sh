#!/usr/bin/env bash
# Compares the tour's frame rate of two builds on this machine: runs
# `city --benchmark --offscreen` of build A and build B alternately, RUNS
# times each, so that both see the same load on a shared machine, and prints
# each run, then per build the mean, lowest and highest FPS, the mean FPS of
# every segment, and the ratio of the means (B over A).
# Usage: bench/compare-tour.sh BUILD_A BUILD_B [RUNS [CITY_OPTION...]]
# A BUILD is a build folder with bin/city and data/. FRAMES (default 600:
# the whole tour at about 20 frames a second of tour time, some 25 s a run
# here) goes to --frames; the CITY_OPTIONs to both programs (--size,
# --samples; --config names the scene in BUILD/data).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 BUILD_A BUILD_B [RUNS [CITY_OPTION...]]" >&2; exit 2; }
a=$(cd "$1" && pwd)
b=$(cd "$2" && pwd)
runs=${3:-3}
shift $(($# < 3 ? $# : 3))
frames=${FRAMES:-600}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Top-level "fps" and each segment's "name" and "fps" of a results file, as
# "total FPS" and "NAME FPS" lines (the file is written two spaces a level).
figures() {
    awk '/^  "fps":/ { gsub(/[,"]/, ""); print "total", $2 }
         /^      "name":/ { gsub(/[,"]/, ""); name = $2 }
         /^      "fps":/ { gsub(/[,"]/, ""); print name, $2 }' "$1"
}

for run in $(seq 1 "$runs"); do
    for side in a b; do
        build=${!side}
        results="$scratch/$side-$run.json"
        (cd "$build/data" && env -u DISPLAY ../bin/city --benchmark --offscreen --frames "$frames" \
            --results "$results" "$@" >/dev/null) ||
            { echo "compare-tour: the run of $build failed" >&2; exit 1; }
        echo "run $run $side: $(figures "$results" | awk '$1 == "total" { print $2 }') FPS"
        figures "$results" | sed "s/^/$side /" >>"$scratch/all.txt"
    done
done

awk -v runs="$runs" '
    { sum[$1, $2] += $3; n[$1, $2]++; if (!($2 in seen)) { seen[$2] = 1; order[++names] = $2 }
      if ($2 == "total") { if (!(($1) in lo) || $3 < lo[$1]) lo[$1] = $3; if ($3 > hi[$1]) hi[$1] = $3 } }
    END {
        for (s = 1; s <= 2; ++s) {
            side = s == 1 ? "a" : "b"
            printf "%s: mean %.2f FPS (%.2f to %.2f over %d runs);", side, sum[side, "total"] / runs, lo[side], hi[side], runs
            for (i = 1; i <= names; ++i) if (order[i] != "total") printf " %s %.2f", order[i], sum[side, order[i]] / runs
            printf "\n"
        }
        printf "b / a: %.3f\n", sum["b", "total"] / sum["a", "total"]
    }' "$scratch/all.txt"
