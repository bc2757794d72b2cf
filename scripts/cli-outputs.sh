#!/usr/bin/env bash
# Writes what kivotrek-cli prints and draws for the sample board and the test files into a
# folder, so that two builds can be compared byte for byte (diff -r). PDF creation dates are
# blanked. Usage: scripts/cli-outputs.sh OUT_DIR [BUILD_DIR]
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$1
CLI=${2:-$ROOT/build}/src/kivotrek-cli
mkdir -p "$OUT"
export QT_QPA_PLATFORM=offscreen
run() { # name, then the command's arguments
    local name=$1
    shift
    "$CLI" "$@" >"$OUT/$name.out" 2>"$OUT/$name.err"
    echo "exit $?" >>"$OUT/$name.out"
}
ex=$ROOT/examples
ini=$ex/KIVOTREK.INI
for f in "$ROOT"/tests/data/*.gbr "$ex"/*.gbr; do
    b=$(basename "$f" .gbr)
    run "read-$b" read "$f"
    run "read274x-$b" read --rs274x "$f"
    for s in png bmp svg; do
        run "preview-$b-$s" render --settings "$ini" --preview -o "$OUT/preview-$b.$s" "$f"
        run "preview274x-$b-$s" render --rs274x --settings "$ini" --preview -o "$OUT/preview274x-$b.$s" "$f"
    done
    for s in png svg pdf; do
        run "page-$b-$s" render --settings "$ini" --page "自動(A4縦)" --dpi 100 -o "$OUT/page-$b.$s" "$f"
    done
done
run settings settings show "$ini"
# Every reader and command on the drill files of the sample board, alone and as one board.
for f in "$ex"/*.drl "$ex"/*-drl.gbr "$ex"/board-Edge_Cuts.gbr; do
    b=$(basename "$f")
    run "auto-read-$b" read --auto "$f"
    run "auto-holes-$b" holes --auto "$f"
    run "auto-holescsv-$b" holes --auto --csv "$f"
    run "auto-report-$b" report --auto "$f"
    run "auto-reportjson-$b" report --auto --json "$f"
    run "auto-preview-$b" render --auto --counts --preview -o "$OUT/auto-preview-$b.svg" "$f"
done
for g in "$ROOT"/tests/data/*.gbr "$ex"/*.gbr; do
    b=$(basename "$g" .gbr)
    run "holes-$b" holes "$g"
    run "holes274x-$b" holes --rs274x --csv "$g"
    run "report-$b" report --settings "$ini" "$g"
    run "report274x-$b" report --rs274x --json "$g"
    run "counts-$b" render --counts --settings "$ini" --preview -o "$OUT/counts-$b.svg" "$g"
    run "counts274x-$b" render --rs274x --counts --page "自動(A4縦)" --dpi 100 -o "$OUT/counts274x-$b.svg" "$g"
done
board=("$ex/board-PTH.drl" "$ex/board-NPTH-drl.gbr" --outline "$ex/board-Edge_Cuts.gbr")
run board-read read "${board[@]}"
run board-holes holes "${board[@]}"
run board-holescsv holes --csv "${board[@]}"
run board-report report --json "${board[@]}"
run board-preview render --counts --symbols --preview -o "$OUT/board-preview.svg" "${board[@]}"
run board-page render --counts --page "自動(A4横)" --dpi 100 -o "$OUT/board-page.svg" "${board[@]}"
run board-symbols-png render --counts --symbols --preview -o "$OUT/board-symbols.png" "${board[@]}"
run board-symbols-page render --symbols --page "自動(A4横)" --dpi 100 -o "$OUT/board-symbols-page.png" "${board[@]}"
# The drill checks: the sample board, its standard file with its settings, the faults of the tests.
run board-check check --json "${board[@]}"
run board-checkcsv check "${board[@]}"
run standard-check check --settings "$ini" "$ex/board.gbr"
run faults-check check --json "$ROOT/tests/data/checks-faults.drl" --outline "$ROOT/tests/data/checks-outline.gbr"
run help --help
for p in "$OUT"/*.pdf; do
    [ -e "$p" ] && sed -i -E 's/\/CreationDate \(D:[^)]*\)/\/CreationDate ()/' "$p"
done
exit 0
