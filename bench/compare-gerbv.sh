#!/usr/bin/env bash
# Times Kivotrek's preview render against gerbv's PNG export of the same RS-274X drill file
# (200,000 flashes), side by side, and prints the median of each and their ratio; then the
# SVG export of both, once; then the PNG export of the same holes as an Excellon drill file,
# and of a board of three files (plated Excellon, non-plated Gerber X2, outline).
# Usage: bench/compare-gerbv.sh [RUNS]   (default 7)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
RUNS=${1:-7}

if ! command -v gerbv >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq gerbv
fi
if [ ! -x "$BUILD_DIR/src/kivotrek-cli" ] || [ ! -x "$BUILD_DIR/bench/kivotrek-makegerber" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -DKIVOTREK_BUILD_TESTS=OFF >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc)" >/dev/null
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
BOARD=$WORK/board.gbr
"$BUILD_DIR/bench/kivotrek-makegerber" rs274x 200000 "$BOARD" --settings
echo "board: $(du -h "$BOARD" | cut -f1), 200,000 flashes, RS-274X"

CLI="$BUILD_DIR/src/kivotrek-cli"
kivotrek_png() { "$CLI" render --rs274x --settings "$WORK/KIVOTREK.INI" --preview -o "$WORK/k.png" "$BOARD"; }
gerbv_png() { gerbv -x png -w 457x420 -o "$WORK/g.png" "$BOARD" 2>/dev/null; }

# Wall-clock seconds of one run of a function, to the millisecond, by bash's own timer: no
# helper process (such as date) starts inside the measured span.
seconds() {
    local TIMEFORMAT=%3R
    { time "$@" >/dev/null 2>&1; } 2>&1
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# Times both commands RUNS times, interleaved so that both see the same machine, and prints the
# medians and their ratio. Each pair of runs side by side also gives a ratio; their median is the
# least moved by a run that happened to meet a busy moment of the machine.
compare() { # label, kivotrek's function, gerbv's function
    local k_times=() g_times=() ratios=() i k g
    for ((i = 0; i < RUNS; i++)); do
        k_times+=("$(seconds "$2")")
        g_times+=("$(seconds "$3")")
        ratios+=("$(ratio "${g_times[i]}" "${k_times[i]}")")
    done
    k=$(printf '%s\n' "${k_times[@]}" | median)
    g=$(printf '%s\n' "${g_times[@]}" | median)
    echo "$1, median of $RUNS: kivotrek-cli ${k}s, gerbv ${g}s, gerbv/kivotrek = $(ratio "$g" "$k")x"
    echo "$1, median of the $RUNS ratios of runs side by side: $(printf '%s\n' "${ratios[@]}" | median)x" \
        "(each: ${ratios[*]})"
}
compare "PNG 457x420" kivotrek_png gerbv_png

# The same holes as an Excellon drill file, as KiCad writes one.
DRILL=$WORK/board.drl
"$BUILD_DIR/bench/kivotrek-makegerber" excellon 200000 "$DRILL"
echo "board: $(du -h "$DRILL" | cut -f1), 200,000 hits, Excellon"
kivotrek_drl() { "$CLI" render --excellon --preview -o "$WORK/kd.png" "$DRILL"; }
gerbv_drl() { gerbv -x png -w 457x420 -o "$WORK/gd.png" "$DRILL" 2>/dev/null; }
compare "Excellon PNG 457x420" kivotrek_drl gerbv_drl

# A whole board as CAD programs ship it: a plated Excellon file, a non-plated Gerber X2 drill
# file and the outline, 200,000 holes in all, drawn as one.
PLATED=$WORK/board-PTH.drl
NONPLATED=$WORK/board-NPTH-drl.gbr
EDGE=$WORK/board-Edge_Cuts.gbr
"$BUILD_DIR/bench/kivotrek-makegerber" excellon 180000 "$PLATED"
"$BUILD_DIR/bench/kivotrek-makegerber" x2 20000 "$NONPLATED"
"$BUILD_DIR/bench/kivotrek-makegerber" outline 0 "$EDGE"
echo "board: $(du -ch "$PLATED" "$NONPLATED" "$EDGE" | tail -1 | cut -f1), 180,000 + 20,000 holes and an outline"
kivotrek_board() { "$CLI" render --preview -o "$WORK/kb.png" "$PLATED" "$NONPLATED" --outline "$EDGE"; }
gerbv_board() { gerbv -x png -w 457x420 -o "$WORK/gb.png" "$PLATED" "$NONPLATED" "$EDGE" 2>/dev/null; }
compare "Board of three files PNG 457x420" kivotrek_board gerbv_board

ks=$(seconds "$CLI" render --rs274x --settings "$WORK/KIVOTREK.INI" --preview -o "$WORK/k.svg" "$BOARD")
echo "SVG: kivotrek-cli ${ks}s"
if gs=$(TIMEFORMAT=%R; { time timeout 1800 gerbv -x svg -o "$WORK/g.svg" "$BOARD" 2>/dev/null >/dev/null; } 2>&1); then
    echo "SVG: gerbv ${gs}s, gerbv/kivotrek = $(ratio "$gs" "$ks")x"
else
    echo "SVG: gerbv did not finish within 30 minutes"
fi
