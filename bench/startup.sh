#!/usr/bin/env bash
# Time from launch to the main window on screen, for kivotrek and for a minimal Qt window with
# the same title and one Japanese label: the median of N launches each, interleaved, under
# Xvfb, polled with xdotool. Usage: bench/startup.sh [N] [BUILD_DIR]   (7, build)
# Needs xvfb and xdotool.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${1:-7}
BUILD=${2:-$ROOT/build}
APP=$BUILD/src/kivotrek
MINIMAL=$BUILD/bench/kivotrek-minimalwindow
for b in "$APP" "$MINIMAL"; do
    [ -x "$b" ] || { echo "missing $b: build with -DKIVOTREK_BUILD_BENCH=ON" >&2; exit 1; }
done

source "$ROOT/scripts/xvfb.sh"
start_xvfb

# Seconds from the start of the program to its window being visible.
launch() {
    local start end pid
    start=$(date +%s.%N)
    "$@" >/dev/null 2>>"${STARTUP_LOG:-/dev/null}" &
    pid=$!
    until xdotool search --onlyvisible --name '穴区分け図' >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "$1 ended before its window showed" >&2; exit 1; }
        sleep 0.002 # a poll that never pauses crowds the X server out for the program itself
    done
    end=$(date +%s.%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$end - $start" | bc -l
}
median() { sort -g | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%.3f", m}'; }

launch "$MINIMAL" >/dev/null # warm the caches
launch "$APP" >/dev/null
app_times=()
minimal_times=()
for _ in $(seq "$RUNS"); do
    minimal_times+=("$(launch "$MINIMAL")")
    app_times+=("$(launch "$APP")")
done
a=$(printf '%s\n' "${app_times[@]}" | median)
m=$(printf '%s\n' "${minimal_times[@]}" | median)
printf 'start-up to a visible window, median of %d: kivotrek %ss, minimal window %ss, ratio %.2f\n' \
    "$RUNS" "$a" "$m" "$(echo "$a / $m" | bc -l)"
