#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded time,
# seeded from the test fixtures and the sample board. Usage: scripts/fuzz.sh [SECONDS]  (60)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
SECONDS_EACH=${1:-60}

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DKIVOTREK_FUZZ=ON -DKIVOTREK_BUILD_TESTS=OFF \
    -DKIVOTREK_BUILD_BENCH=OFF -DKIVOTREK_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

CORPUS=$(mktemp -d)
trap 'rm -rf "$CORPUS"' EXIT
for t in standard_reader rs274x_reader excellon_reader gerber_x2_reader replay settings; do
    mkdir -p "$CORPUS/$t"
    if [ "$t" = settings ]; then
        cp "$ROOT/examples/KIVOTREK.INI" "$CORPUS/$t/"
    elif [ "$t" = gerber_x2_reader ]; then
        cp "$ROOT"/examples/*.gbr "$ROOT"/tests/data/*.gbr "$CORPUS/$t/"
    elif [ "$t" = excellon_reader ]; then
        cp "$ROOT"/examples/*.drl "$CORPUS/$t/"
        cp "$ROOT"/tests/data/*.gbr "$ROOT"/examples/*.gbr "$CORPUS/$t/"
    fi
    echo "fuzzing $t for ${SECONDS_EACH}s"
    "$BUILD/fuzz/fuzz_$t" -max_total_time="$SECONDS_EACH" -max_len=4096 -print_final_stats=1 \
        "$CORPUS/$t" 2>&1 | grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)|ERROR|SUMMARY' || true
    # libFuzzer leaves a crash-* file behind when it finds something: that fails the run.
    if ls crash-* leak-* timeout-* oom-* >/dev/null 2>&1; then
        echo "fuzz_$t found a failing input" >&2
        exit 1
    fi
done
