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
for p in "$OUT"/*.pdf; do
    [ -e "$p" ] && sed -i -E 's/\/CreationDate \(D:[^)]*\)/\/CreationDate ()/' "$p"
done
exit 0
