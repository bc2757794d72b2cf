#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded time,
# seeded from the test fixtures, the sample board and the real boards of @tracespace/fixtures
# (when the npm registry can be reached).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (60, every target)
#        FUZZ_RUNS=N scripts/fuzz.sh 0 [TARGET...]   N executions of each target instead of a time
#        FUZZ_MAX_LEN=N   inputs up to N bytes (65536: real boards whole)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(standard_reader rs274x_reader excellon_reader gerber_x2_reader replay settings
    excellon_read_only gerber_x2_read_only package gerber_layer)
MAX_LEN=${FUZZ_MAX_LEN:-65536}

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DKIVOTREK_FUZZ=ON -DKIVOTREK_BUILD_TESTS=OFF \
    -DKIVOTREK_BUILD_BENCH=OFF -DKIVOTREK_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

ARTIFACTS=$BUILD/artifacts
rm -rf "$ARTIFACTS"
CORPUS=$(mktemp -d)
trap 'rm -rf "$CORPUS"' EXIT
source "$ROOT/scripts/fixtures.sh"
REAL=()
if fetch_fixtures "$CORPUS"; then
    while IFS= read -r -d '' f; do REAL+=("$f"); done < <(fixture_files "$CORPUS")
    echo "seeding the readers with ${#REAL[@]} files of real boards"
else
    echo "@tracespace/fixtures could not be fetched: seeding from the project's own files only"
fi
seed() { # target folder, then files: each copied under a name of its own
    local into=$1 i=0 f
    shift
    for f in "$@"; do
        cp "$f" "$into/$(( i++ ))-$(basename "$f")"
    done
}
for t in "${TARGETS[@]}"; do
    mkdir -p "$CORPUS/$t"
    case $t in
        settings) seed "$CORPUS/$t" "$ROOT/examples/KIVOTREK.INI" ;;
        # Packages: the sample board, the test files and the real boards as zips, a tar.gz, 7z,
        # a zip inside a zip and a zip of code page 932 names.
        package) "$BUILD/fuzz/make_package_seeds" "$CORPUS/$t" "$ROOT"/examples/*.drl "$ROOT"/examples/*.gbr \
            "$ROOT"/examples/KIVOTREK.INI "$ROOT"/tests/data/*.gbr ${REAL[@]+"${REAL[@]}"} ;;
        excellon_reader | excellon_read_only) seed "$CORPUS/$t" "$ROOT"/examples/*.drl "$ROOT"/tests/data/*.gbr \
            "$ROOT"/tests/data/excellon/*.drl \
            "$ROOT"/examples/*.gbr ${REAL[@]+"${REAL[@]}"} ;;
        *) seed "$CORPUS/$t" "$ROOT"/examples/*.gbr "$ROOT"/tests/data/*.gbr ${REAL[@]+"${REAL[@]}"} ;;
    esac
    if [ -n "${FUZZ_RUNS:-}" ]; then
        limit=(-runs="$FUZZ_RUNS")
        echo "fuzzing $t for $FUZZ_RUNS executions"
    else
        limit=(-max_total_time="$SECONDS_EACH")
        echo "fuzzing $t for ${SECONDS_EACH}s"
    fi
    found="$ARTIFACTS/$t"
    mkdir -p "$found"
    # A board at the readers' own limit (5,000,000 Gerber X2 objects from a few bytes of step and
    # repeat or arcs, read as drill file and again as outline by the X2 target) is read, drawn and
    # checked in 2 to 7 s, 12 to 30 s under the sanitizers: a unit is slow past 60 s (libFuzzer's
    # 10 s would flag that board), and one past 5 minutes hangs.
    "$BUILD/fuzz/fuzz_$t" "${limit[@]}" -max_len="$MAX_LEN" -print_final_stats=1 -artifact_prefix="$found/" \
        -report_slow_units=60 -timeout=300 \
        "$CORPUS/$t" 2>&1 | grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)|ERROR|SUMMARY' || true
    # libFuzzer leaves a crash-, leak-, timeout- or oom- file behind when it finds something:
    # that fails the run, and the file stays for a look.
    if [ -n "$(ls -A "$found")" ]; then
        echo "fuzz_$t found a failing input: $(ls "$found" | tr '\n' ' ')in $found" >&2
        exit 1
    fi
done
