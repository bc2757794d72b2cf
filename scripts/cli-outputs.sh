#!/usr/bin/env bash
# Writes what kivotrek-cli prints and draws for the sample board and the test files into a
# folder, so that two builds can be compared byte for byte (diff -r), and checks them against
# the golden outputs committed in tests/golden/cli.
#
#   scripts/cli-outputs.sh OUT_DIR [BUILD_DIR]   every output into OUT_DIR
#   scripts/cli-outputs.sh --check [BUILD_DIR]   into BUILD_DIR/golden-outputs, compared with
#                                                tests/golden/cli (exit 1 and the differences)
#   scripts/cli-outputs.sh --update [BUILD_DIR]  tests/golden/cli made anew from this build
#
# BUILD_DIR defaults to build/ of the checkout. The outputs do not depend on where the checkout
# or the output folder lies: the commands run in the checkout with paths relative to it, and
# any path of the checkout or of OUT_DIR left in a text is written <ROOT> or <OUT>. PDF creation
# dates and the producer (Qt's version) are blanked. In the golden folder the BMP pictures,
# half a megabyte each, uncompressed, stand as their SHA-256 digests in bmp.sha256.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
GOLDEN=$ROOT/tests/golden/cli

mode=outputs
case ${1:-} in
--check | --update)
    mode=${1#--}
    shift
    ;;
'' | -*)
    echo "usage: $0 OUT_DIR [BUILD_DIR] | --check [BUILD_DIR] | --update [BUILD_DIR]" >&2
    exit 2
    ;;
*)
    OUT=$1
    shift
    ;;
esac
BUILD=${1:-$ROOT/build}
BUILD=$(cd "$BUILD" && pwd) || exit 2
CLI=$BUILD/src/kivotrek-cli
if [ ! -x "$CLI" ]; then
    echo "$CLI is not built (make kivotrek-cli)" >&2
    exit 2
fi
if [ "$mode" != outputs ]; then
    OUT=$BUILD/golden-outputs
    rm -rf "$OUT"
fi
mkdir -p "$OUT" || exit 2
OUT=$(cd "$OUT" && pwd)
export QT_QPA_PLATFORM=offscreen

cd "$ROOT" || exit 2
run() { # name, then the command's arguments
    local name=$1
    shift
    "$CLI" "$@" >"$OUT/$name.out" 2>"$OUT/$name.err"
    echo "exit $?" >>"$OUT/$name.out"
}
ex=examples
ini=$ex/KIVOTREK.INI
for f in tests/data/*.gbr "$ex"/*.gbr; do
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
for g in tests/data/*.gbr "$ex"/*.gbr; do
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
run faults-check check --json tests/data/checks-faults.drl --outline tests/data/checks-outline.gbr
run help --help

# Paths that reached a text anyway (a message naming a file by its whole path) become <OUT> and
# <ROOT>; the output folder first, as it may lie inside the checkout.
OUT_PATH=$OUT ROOT_PATH=$ROOT perl -pi -e 's/\Q$ENV{OUT_PATH}\E/<OUT>/g; s/\Q$ENV{ROOT_PATH}\E/<ROOT>/g' \
    "$OUT"/*.out "$OUT"/*.err "$OUT"/*.svg
# A PDF's creation date changes with every run, and its producer names the Qt library's version
# ("Qt 6.4.2"), which a Debian update changes without a change of ours. Both are blanked with
# spaces in their place, so that every offset of the file's cross-reference table still holds.
for p in "$OUT"/*.pdf; do
    [ -e "$p" ] && perl -0777 -pi -e 's{/(CreationDate|Producer) \(([^)]*)\)}{"/$1 ()" . (" " x length $2)}ge' "$p"
done
[ "$mode" = outputs ] && exit 0

# The golden folder's form: each BMP by its digest (sorted by name in any locale).
(cd "$OUT" && sha256sum -- *.bmp | LC_ALL=C sort -k2) >"$OUT/bmp.sha256"
if [ "$mode" = update ]; then
    rm -rf "$GOLDEN"
    mkdir -p "$GOLDEN"
    find "$OUT" -maxdepth 1 -type f ! -name '*.bmp' -exec cp -- {} "$GOLDEN"/ \;
    echo "tests/golden/cli made anew from $CLI; review the change with git status and git diff."
    exit 0
fi

differing=$(diff -rq -x '*.bmp' "$GOLDEN" "$OUT")
if [ -z "$differing" ]; then
    echo "The outputs of $CLI are those of tests/golden/cli ($(find "$GOLDEN" -type f | wc -l) files)."
    exit 0
fi
echo "The outputs of $CLI differ from tests/golden/cli (new outputs in $OUT):"
echo "$differing"
for f in "$GOLDEN"/*; do
    name=$(basename "$f")
    case $name in
    *.out | *.err | *.svg | *.sha256)
        [ -e "$OUT/$name" ] && ! cmp -s "$f" "$OUT/$name" && diff -u "$f" "$OUT/$name" | head -n 20 | cut -c 1-300
        ;;
    esac
done
echo "If the change is meant, make the golden files anew with scripts/cli-outputs.sh --update and"
echo "commit them with the change."
exit 1
