#!/usr/bin/env bash
# Whole-process figures of kivotrek-cli on generated boards: the read of a 1,000,000-flash
# standard file (median of 7), the peak memory of each output of 10,000,000 holes, and the
# 200,000-hole preview with symbols against the plain one (medians of 7).
# Usage: bench/outputs.sh [BUILD_DIR]   (needs /usr/bin/time, Debian package "time")
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build}
CLI=$BUILD/src/kivotrek-cli
MAKE=$BUILD/bench/kivotrek-makegerber
export QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The median of seven wall-clock runs of a command, in seconds.
median7() {
    local times=() i start end
    "$@" >/dev/null 2>&1 || true # once to warm the caches
    for i in 1 2 3 4 5 6 7; do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        times+=("$(( end - start ))")
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 4p | awk '{ printf "%.3f", $1 / 1e9 }'
}
# Peak resident memory of a command in MB, its standard output thrown away.
peak() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.0f", $1 / 1024 }'
}

mkdir -p "$WORK/1m" "$WORK/10m"
"$MAKE" standard 1000000 "$WORK/1m/board.gbr"
"$MAKE" standard 10000000 "$WORK/10m/board.gbr" --settings
"$MAKE" excellon 200000 "$WORK/200k.drl"
big=$WORK/10m/board.gbr
ini=$WORK/10m/KIVOTREK.INI

t=$(median7 "$CLI" read --standard "$WORK/1m/board.gbr")
size=$(stat -c %s "$WORK/1m/board.gbr")
echo "read, 1,000,000 flashes ($(( size / 1000000 )) MB): median of 7 ${t}s, $(awk -v s="$size" -v t="$t" \
    'BEGIN { printf "%.0f", s / t / 1e6 }') MB/s"

echo "peak memory, 10,000,000 holes:"
echo "  render --preview SVG   $(peak "$CLI" render --settings "$ini" --preview -o "$WORK/out.svg" "$big") MB"
echo "  render --page PDF      $(peak "$CLI" render --settings "$ini" --page "自動(A4縦)" -o "$WORK/out.pdf" "$big") MB"
echo "  holes (JSON)           $(peak "$CLI" holes "$big") MB"
echo "  holes --csv            $(peak "$CLI" holes --csv "$big") MB"
rm -f "$WORK"/out.*

plain=$(median7 "$CLI" render --excellon --preview -o "$WORK/plain.png" "$WORK/200k.drl")
marks=$(median7 "$CLI" render --excellon --symbols --preview -o "$WORK/marks.png" "$WORK/200k.drl")
echo "preview PNG, 200,000 holes, median of 7: plain ${plain}s, symbols ${marks}s," \
    "ratio $(awk -v a="$marks" -v b="$plain" 'BEGIN { printf "%.2f", a / b }')"
