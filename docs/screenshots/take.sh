#!/usr/bin/env bash
# Takes the README's screenshots again: the desktop program under Xvfb on the sample board,
# driven with xdotool, each window captured with ImageMagick's import; the printed page from
# kivotrek-cli. Needs xvfb, xdotool and imagemagick. Usage: docs/screenshots/take.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:-$ROOT/build}
OUT=$ROOT/docs/screenshots
APP=$BUILD/src/kivotrek

source "$ROOT/scripts/xvfb.sh"
# The options of 表示 are remembered in the user's settings: a folder of this run instead.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
# The logo beside the program for the printed page, taken away again at the end: left there, it
# would change every page the build's tests draw.
LOGO=
[ -e "$BUILD/src/image.bmp" ] || LOGO=$BUILD/src/image.bmp
start_xvfb 'pkill -f "$APP" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"; [ -z "$LOGO" ] || rm -f "$LOGO"'

cd "$ROOT/examples"
[ -z "$LOGO" ] || cp image.bmp "$LOGO"

window() { # the id of the visible window with this title
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "no window \"$1\"" >&2; exit 1; }
    echo "$id"
}
click() { # window-relative x, y
    local x y
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
    sleep 0.6
}
shot() { import -window "$1" "$OUT/$2"; echo "wrote $2"; }
preview() { # 表示(V) → プレビュー
    click "$1" 105 10
    click "$1" 120 34
}

"$APP" >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 0.5
shot "$main" 01-start.png
kill %2 2>/dev/null || pkill -f "$APP"
sleep 0.5

"$APP" board.gbr >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 0.8
shot "$main" 02-read.png
# ファイル → 前回の設定ファイルの読み込み (the eleventh entry, after 新規, パッケージを開く,
# 最近使ったファイル and a separator)
click "$main" 30 10
click "$main" 110 288
shot "$main" 03-settings.png
preview "$main"
preview=$(window "プレビュー")
sleep 0.5
shot "$preview" 04-preview.png
# ヘルプ(H) → バージョン情報
click "$main" 220 10
click "$main" 250 34
about=$(window "Kivotrekのﾊﾞｰｼﾞｮﾝ情報")
sleep 0.5
shot "$about" 06-about.png

pkill -f "$APP" 2>/dev/null || true
sleep 0.5
# An Excellon drill file as KiCad writes it, given to the program: read by its first lines.
"$APP" board-PTH.drl >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 0.8
shot "$main" 07-excellon.png
preview "$main"
preview=$(window "プレビュー")
sleep 0.5
shot "$preview" 08-excellon-preview.png

pkill -f "$APP" 2>/dev/null || true
sleep 0.5
# A whole board from three files: plated Gerber X2 drill file, non-plated Excellon, outline.
"$APP" board-PTH-drl.gbr board-NPTH.drl board-Edge_Cuts.gbr >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 1.0
shot "$main" 09-board.png
# The tooltip of the non-plated file's T1 names its file.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 36)) $((Y + 236)) click 1
sleep 0.3
xdotool mousemove $((X + 38)) $((Y + 237))
sleep 1.5
import -window root -crop "${WIDTH}x$((HEIGHT))+${X}+${Y}" +repage "$OUT/09-board-tooltip.png"
echo "wrote 09-board-tooltip.png"
preview "$main"
preview=$(window "プレビュー")
sleep 0.5
shot "$preview" 10-board-preview.png
# 表示 → 凡例に穴数を表示, then 記号で描く（白黒印刷向け）: the open preview follows each.
click "$main" 105 10
click "$main" 155 87
click "$main" 105 10
click "$main" 155 112
click "$main" 105 10
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "420x135+${X}+${Y}" +repage "$OUT/11-view-menu.png"
echo "wrote 11-view-menu.png"
xdotool key Escape
sleep 0.5
shot "$preview" 12-board-symbols-preview.png

pkill -f "$APP" 2>/dev/null || true
sleep 0.5
# An Allegro drill file: three-decimal diameters in mils, tolerances and plating in its comments.
"$APP" board-allegro.drl >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 0.8
shot "$main" 14-allegro.png
# Its numbers state no digits: the read says which it assumed, under the table (the window's
# lowest 150 pixels: the messages and the status bar).
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x150+${X}+$((Y + HEIGHT - 150))" +repage "$OUT/22-format-assumed.png"
echo "wrote 22-format-assumed.png"
preview "$main"
preview=$(window "プレビュー")
sleep 0.5
shot "$preview" 15-allegro-preview.png
# The sample folder's settings file was written for board.gbr: loading it here asks first.
click "$main" 30 10
click "$main" 110 288
question=$(window "Kivotrek")
sleep 0.5
shot "$question" 17-settings-question.png
xdotool key Escape
sleep 0.5
# A typed product code is unsaved work: 新規 (Ctrl+N) asks about it.
click "$main" 800 44
xdotool type --delay 30 "KT-2026-12-0001"
xdotool key ctrl+n
question=$(window "Kivotrek")
sleep 0.5
shot "$question" 19-unsaved.png
xdotool key Escape
sleep 0.5

pkill -f "$APP" 2>/dev/null || true
sleep 0.5
# ファイル → ファイルを外す lists the board's files.
"$APP" board-PTH-drl.gbr board-NPTH.drl board-Edge_Cuts.gbr >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 1.0
click "$main" 30 10
click "$main" 110 263
question=$(window "Kivotrek")
sleep 0.5
shot "$question" 18-remove-file.png
xdotool key Escape
sleep 0.3
# 表示 → 穴チェック: two small holes overlap larger ones; the first finding chosen is shown in
# the preview, zoomed to it.
click "$main" 105 10
click "$main" 120 59
checks=$(window "穴チェック")
sleep 0.5
shot "$checks" 25-checks.png
click "$checks" 200 136
preview=$(window "プレビュー")
sleep 0.8
shot "$preview" 26-check-finding.png

pkill -f "$APP" 2>/dev/null || true
sleep 0.5
# The preview follows the table: T1 typed as 0.55 in the main window, the legend and the picture
# drawn again at once; both windows on the screen.
"$APP" board-PTH.drl board-NPTH.drl board-Edge_Cuts.gbr >/dev/null 2>&1 &
main=$(window "穴区分け図")
sleep 1.0
xdotool windowmove "$main" 0 0
preview "$main"
preview=$(window "プレビュー")
xdotool windowmove "$preview" 180 440 windowsize "$preview" 900 560
sleep 0.8
click "$main" 80 148
xdotool key ctrl+a
xdotool type --delay 150 "0.55"
sleep 0.8
import -window root "$OUT/27-live-preview.png"
echo "wrote 27-live-preview.png"
pkill -f "$APP" 2>/dev/null || true
sleep 0.5
# A KiCad package whose NPTH file holds no hole (its header only): said on its line of the
# package window, not in a message box.
KICAD=$(mktemp -d)
cp board-PTH.drl board-Edge_Cuts.gbr "$KICAD/"
printf 'M48\n; #@! TF.FileFunction,NonPlated,1,2,NPTH\nFMAT,2\nMETRIC\n%%\nG90\nG05\nM30\n' >"$KICAD/board-NPTH.drl"
"$APP" "$KICAD" >/dev/null 2>&1 &
package=$(window "パッケージの中身 - $KICAD")
sleep 0.8
shot "$package" 28-package-empty-drill.png
pkill -f "$APP" 2>/dev/null || true
rm -rf "$KICAD"
sleep 0.5
# The sample folder as a package: each file's role and why; the Allegro file is another board's,
# left out by choosing 使わない in its box (the second row), then OK builds the board.
"$APP" . >/dev/null 2>&1 &
package=$(window "パッケージの中身 - $ROOT/examples")
sleep 0.8
shot "$package" 20-package.png
click "$package" 190 92
xdotool key End Return
sleep 0.3
xdotool key Return
main=$(window "穴区分け図")
sleep 1.0
shot "$main" 21-package-board.png
pkill -f "$APP" 2>/dev/null || true

# The view on a dense real board (clockblock of @tracespace/fixtures, fetched, never committed):
# zoomed into its vias, a hole clicked (its class highlighted, the hole named in the status
# bar), then a Shift-drag from one via to another measured.
source "$ROOT/scripts/fixtures.sh"
FIXTURES=$(mktemp -d)
if fetch_fixtures "$FIXTURES"; then
    XDG_CONFIG_HOME=$FIXTURES/config # plain dots: the options set above left behind
    "$APP" "$FIXTURES/package/boards/clockblock" >/dev/null 2>&1 &
    package=$(window "パッケージの中身 - $FIXTURES/package/boards/clockblock")
    sleep 0.5
    xdotool key Return
    main=$(window "穴区分け図")
    sleep 1.0
    preview "$main"
    view=$(window "プレビュー")
    xdotool windowmove "$view" 100 60 windowsize "$view" 1000 820
    sleep 1.0
    xdotool mousemove --window "$view" 318 445
    for _ in 1 2 3 4 5 6; do xdotool click 4; sleep 0.2; done
    xdotool mousemove --window "$view" 330 397 click 1
    sleep 0.3
    xdotool mousemove --window "$view" 333 400 mousemove --window "$view" 330 397
    sleep 0.6
    shot "$view" 23-view-identify.png
    xdotool key Escape
    xdotool mousemove --window "$view" 330 334 keydown shift mousedown 1
    sleep 0.2
    xdotool mousemove --window "$view" 345 380
    sleep 0.2
    xdotool mousemove --window "$view" 361 461
    sleep 0.2
    xdotool mouseup 1 keyup shift
    sleep 0.6
    shot "$view" 24-view-measure.png
    pkill -f "$APP" 2>/dev/null || true
else
    echo "@tracespace/fixtures could not be fetched: 23-view-identify.png and 24-view-measure.png kept"
fi
rm -rf "$FIXTURES"

# The messages under the table: the sample board with a copy of its plated file that has two
# damaged lines (the first at line 43) and a hole 50 mm beyond the outline, the window grabbed
# from the screen with its frame.
DAMAGED=$(mktemp -d)
cp board-NPTH.drl board-Edge_Cuts.gbr "$DAMAGED/"
awk 'NR == 43 { print "X41.5Y2O.0" } NR == 122 { print "X61.2Y#8.4" } /^M30/ { print "X150.0Y40.0" } { print }' \
    board-PTH.drl >"$DAMAGED/board-PTH.drl"
(cd "$DAMAGED" && exec "$APP" board-PTH.drl board-NPTH.drl board-Edge_Cuts.gbr >/dev/null 2>&1) &
damaged_app=$!
main=$(window "穴区分け図")
sleep 1.5
import -window root "$DAMAGED/screen.png"
convert "$DAMAGED/screen.png" -trim +repage "$OUT/31-messages-panel.png"
echo "wrote 31-messages-panel.png"
kill "$damaged_app" 2>/dev/null || true
rm -rf "$DAMAGED"

"$BUILD/src/kivotrek-cli" render --settings KIVOTREK.INI --page "自動(A4縦)" --dpi 72 -o "$OUT/05-page.png" board.gbr
echo "wrote 05-page.png"
"$BUILD/src/kivotrek-cli" render --counts --symbols --page "自動(A4縦)" --dpi 100 -o "$OUT/13-page-symbols.png" \
    board-PTH-drl.gbr board-NPTH.drl --outline board-Edge_Cuts.gbr
echo "wrote 13-page-symbols.png"
# The Allegro board's page: each tolerance a space after its diameter. Drawn at 200 dpi and
# shown at half its size, as a page on screen.
"$BUILD/src/kivotrek-cli" render --auto --product-code "KT-2026-12-0001-REV.C 多層基板" --page "自動(A4縦)" --dpi 200 \
    -o "$OUT/16-allegro-page.png" board-allegro.drl
convert "$OUT/16-allegro-page.png" -resize 50% "$OUT/16-allegro-page.png"
echo "wrote 16-allegro-page.png"

# A real board of four copper layers with every layer (KiCad's video demo, plotted by KiCad's own
# Python module into a folder of this run, never committed): its package window, then the
# preview zoomed in with the top and bottom copper under the holes and a track under the cursor.
if [ -f /usr/share/kicad/demos/video/video.kicad_pcb ] && /usr/bin/python3 -c "import pcbnew" 2>/dev/null; then
    VIDEO=$(mktemp -d)/video
    /usr/bin/python3 "$ROOT/bench/plot-kicad-demo.py" /usr/share/kicad/demos/video/video.kicad_pcb "$VIDEO" >/dev/null
    "$APP" "$VIDEO" >/dev/null 2>&1 &
    package=$(window "パッケージの中身 - $VIDEO")
    sleep 1
    shot "$package" 33-package-layers.png
    xdotool key Return
    main=$(window "穴区分け図")
    sleep 1
    preview "$main"
    preview=$(window "プレビュー")
    xdotool windowmove "$preview" 0 0
    xdotool windowsize "$preview" 1270 990
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$preview")"
    xdotool mousemove $((X + 700)) $((Y + 450))
    for _ in 1 2 3 4 5 6; do xdotool click 4; sleep 0.1; done
    sleep 1
    xdotool mousemove $((X + 785)) $((Y + 155))
    sleep 0.8
    shot "$preview" 32-layers.png
    pkill -f "$APP" 2>/dev/null || true
    rm -rf "$(dirname "$VIDEO")"
else
    echo "no KiCad with its demos: 32-layers.png and 33-package-layers.png kept as they are"
fi
