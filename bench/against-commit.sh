#!/usr/bin/env bash
# The speed of this checkout against an earlier commit, both built here (Release) and run
# interleaved, round by round, so that the machine's load falls on both alike: the read of a
# 1,000,000-flash standard file, the previews of bench/compare-gerbv.sh (RS-274X, Excellon and a
# board of three files, 200,000 holes each), the board view's frames at 1,000,000 holes and the
# drill checks' run on 1,002,000 holes. Prints the medians and now / before.
# Usage: bench/against-commit.sh COMMIT [ROUNDS]   (ROUNDS: 7)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BASE=${1:?give the commit to compare with}
ROUNDS=${2:-7}
export QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d)
TREE=$WORK/before
cleanup() {
    git -C "$ROOT" worktree remove --force "$TREE" >/dev/null 2>&1 || true
    rm -rf "$WORK"
}
trap cleanup EXIT

build() { # source folder, build folder
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DKIVOTREK_BUILD_TESTS=OFF -DKIVOTREK_BUILD_APP=OFF \
        -DKIVOTREK_BUILD_BENCH=ON >/dev/null
    cmake --build "$2" -j "$(nproc)" --target kivotrek-cli kivotrek-makegerber kivotrek-viewbench \
        kivotrek-checkbench >/dev/null
}
git -C "$ROOT" worktree add --detach "$TREE" "$BASE" >/dev/null 2>&1
echo "building $(git -C "$ROOT" rev-parse --short "$BASE") and the checkout (Release)"
build "$TREE" "$WORK/build-before"
build "$ROOT" "$WORK/build-now"

MAKE=$WORK/build-now/bench/kivotrek-makegerber
"$MAKE" standard 1000000 "$WORK/1m.gbr"
"$MAKE" rs274x 200000 "$WORK/rs.gbr" --settings
"$MAKE" excellon 200000 "$WORK/200k.drl"
"$MAKE" excellon 180000 "$WORK/board-PTH.drl"
"$MAKE" x2 20000 "$WORK/board-NPTH-drl.gbr"
"$MAKE" outline 0 "$WORK/board-Edge_Cuts.gbr"

seconds() { # wall-clock seconds of a command, its output thrown away
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    awk -v n="$(( end - start ))" 'BEGIN { printf "%.4f", n / 1e9 }'
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

measure() { # build folder, measure name: one figure
    local b=$1 cli=$1/src/kivotrek-cli
    case $2 in
    read) seconds "$cli" read --standard "$WORK/1m.gbr" ;;
    rs274x) seconds "$cli" render --rs274x --settings "$WORK/KIVOTREK.INI" --preview -o "$WORK/o.png" "$WORK/rs.gbr" ;;
    excellon) seconds "$cli" render --excellon --preview -o "$WORK/o.png" "$WORK/200k.drl" ;;
    board) seconds "$cli" render --preview -o "$WORK/o.png" "$WORK/board-PTH.drl" "$WORK/board-NPTH-drl.gbr" \
        --outline "$WORK/board-Edge_Cuts.gbr" ;;
    view) "$b/bench/kivotrek-viewbench" 1000000 | awk '/100 frames/ { print $4 / 1000 }' ;;
    checks) "$b/bench/kivotrek-checkbench" 1000000 | awk '/run the checks/ { print $4 }' ;;
    esac
}

NAMES=(read rs274x excellon board view checks)
declare -A FIGURES
for ((r = 1; r <= ROUNDS; r++)); do
    echo "round $r of $ROUNDS"
    for n in "${NAMES[@]}"; do
        for side in before now; do
            FIGURES[$side.$n]+="$(measure "$WORK/build-$side" "$n") "
        done
    done
done

label() {
    case $1 in
    read) echo "read, 1,000,000 flashes (standard)" ;;
    rs274x) echo "preview PNG, 200,000 flashes (RS-274X)" ;;
    excellon) echo "preview PNG, 200,000 hits (Excellon)" ;;
    board) echo "preview PNG, board of three files" ;;
    view) echo "board view, median frame at 1,000,000 holes" ;;
    checks) echo "drill checks, run on 1,002,000 holes" ;;
    esac
}
printf '%-46s %10s %10s %8s\n' "median of $ROUNDS, seconds" before now "now/before"
for n in "${NAMES[@]}"; do
    b=$(printf '%s\n' ${FIGURES[before.$n]} | median)
    a=$(printf '%s\n' ${FIGURES[now.$n]} | median)
    printf '%-46s %10.4f %10.4f %8.3f\n' "$(label "$n")" "$b" "$a" "$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')"
done
