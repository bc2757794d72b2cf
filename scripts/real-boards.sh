#!/usr/bin/env bash
# Reads the drill files of the real boards in the npm package @tracespace/fixtures (fetched
# here, never committed) and compares every hole and slot with what Debian's gerbv reads of the
# same file (gerbv -x rs274x exports it): same positions and diameters to 0.001 mm, and no
# skipped line. Usage: scripts/real-boards.sh [BUILD_DIR]   (build)
# Skips (exit 0) when the package cannot be fetched; exits 1 on a difference.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=$(realpath "${1:-$ROOT/build}")/src/kivotrek-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

if ! command -v gerbv >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get install -y -qq gerbv >/dev/null
fi
source "$ROOT/scripts/fixtures.sh"
if ! fetch_fixtures "$WORK"; then
    echo "real boards: @tracespace/fixtures could not be fetched from the npm registry; skipped"
    exit 0
fi

status=0
# The drill files: every file of a board whose first lines look like Excellon.
while IFS= read -r -d '' f; do
    reader=$( ("$CLI" read --auto "$f" || true) | python3 -c 'import json,sys; print(json.load(sys.stdin)["reader"])')
    [ "$reader" = excellon ] || continue
    "$CLI" read --excellon "$f" >"$WORK/read.json" || true
    "$CLI" holes --excellon "$f" >"$WORK/ours.json" || true
    gerbv -x rs274x -o "$WORK/gerbv.gbr" "$f" >/dev/null 2>&1
    python3 - "$f" "$WORK/read.json" "$WORK/ours.json" "$WORK/gerbv.gbr" <<'PY' || status=1
import json, re, sys
name, read, ours, gerbv = sys.argv[1:]
read = json.load(open(read))
ours = json.load(open(ours))
text = open(gerbv).read()
unit = 25.4 if '%MOIN*%' in text else 1.0
fs = re.search(r'%FSLAX(\d)(\d)Y(\d)(\d)\*%', text)
decimals = int(fs.group(2))
apertures = {m.group(1): float(m.group(2)) * unit for m in re.finditer(r'%ADD(\d+)C,([\d.]+)', text)}
holes, slots = [], []
tool, x, y = None, 0.0, 0.0
for line in text.split('*'):
    line = line.strip()
    m = re.search(r'D(\d+)$', line)
    if line.startswith('G54D') or (m and int(m.group(1)) >= 10 and 'X' not in line and 'Y' not in line):
        tool = re.search(r'D(\d+)', line[3:] if line.startswith('G54') else line).group(1)
        continue
    mx = re.search(r'X(-?\d+)', line)
    my = re.search(r'Y(-?\d+)', line)
    nx = int(mx.group(1)) / 10 ** decimals * unit if mx else x
    ny = int(my.group(1)) / 10 ** decimals * unit if my else y
    if line.endswith('D03'):
        holes.append((round(nx, 3), round(ny, 3), round(apertures[tool], 3)))
    elif line.endswith('D01'):
        slots.append((round(x, 3), round(y, 3), round(nx, 3), round(ny, 3), round(apertures[tool], 3)))
    x, y = nx, ny
ours_holes = [(round(h['x'], 3), round(h['y'], 3), round(h['diameter'], 3)) for h in ours['holes']]
ours_slots = [(round(s['x1'], 3), round(s['y1'], 3), round(s['x2'], 3), round(s['y2'], 3), round(s['diameter'], 3))
              for s in ours['slots']]
def same(a, b):
    return len(a) == len(b) and all(abs(p - q) <= 0.0011 for u, v in zip(sorted(a), sorted(b)) for p, q in zip(u, v))
# Where gerbv guesses wrong, what it read is not the yardstick: the holes' count and diameters
# still must agree.
gerbv_wrong = {
    'usbvil/pic18f14k50.txt':
        'INCH,LZ with FILE_FORMAT=2:4 keeps leading zeros and drops trailing ones, so X03126 is '
        '03.126 in, between its neighbours X031378 and X031024; gerbv reads it as 0.3126 in',
}
board = name.split('/boards/')[-1]
if board in gerbv_wrong:
    print('      %s: gerbv guesses wrong here (%s); counts and diameters compared' % (board, gerbv_wrong[board]))
    ok = (sorted(h[2] for h in ours_holes) == sorted(h[2] for h in holes) and len(ours_slots) == len(slots)
          and read['skippedLines'] == 0)
else:
    ok = same(ours_holes, holes) and same(ours_slots, slots) and read['skippedLines'] == 0
print('%s  %s: %d holes, %d slots, %d tools, skipped %d' % ('ok  ' if ok else 'DIFF', name.split('/boards/')[-1],
      len(ours_holes), len(ours_slots), len(read['rows']), read['skippedLines']))
if not ok:
    print('   gerbv: %d holes, %d slots' % (len(holes), len(slots)))
    for u, v in list(zip(sorted(ours_holes), sorted(holes)))[:5]:
        print('   ours', u, 'gerbv', v)
sys.exit(0 if ok else 1)
PY
done < <(find "$WORK/package/boards" -type f -print0 | sort -z)

# Whole boards: every drill file of a board and its outline (as its manifest names them) read as
# one board: complete, nothing skipped, no warning (each board's holes lie inside its outline; a
# file that states no format is told so, and fitted to the outline), the outline's lines read,
# and every hole of every file kept.
for manifest in "$WORK"/package/boards/*/manifest.json; do
    dir=$(dirname "$manifest")
    mapfile -t drills < <(python3 -c 'import json,sys; [print(l["name"]) for l in json.load(open(sys.argv[1]))["layers"] if l["type"] == "drill"]' "$manifest")
    outline=$(python3 -c 'import json,sys; print(" ".join(l["name"] for l in json.load(open(sys.argv[1]))["layers"] if l["type"] == "outline"))' "$manifest")
    [ -n "$outline" ] && [ "${#drills[@]}" -gt 0 ] || continue
    (cd "$dir" && "$CLI" read "${drills[@]}" --outline "$outline" >"$WORK/board.json" && \
        "$CLI" holes "${drills[@]}" --outline "$outline" >"$WORK/holes.json") || true
    python3 - "$(basename "$dir")" "$WORK/board.json" "$WORK/holes.json" <<'PY' || status=1
import json, sys
name, board, holes = sys.argv[1:]
board = json.load(open(board))
holes = json.load(open(holes))
said = [m for m in board['messages'] if not m.startswith(('書式の指定がないため', 'nc_param.txt の書式'))]
ok = (board['ending'] == 'complete' and not said and board['outline'] is not None
      and all(f['skippedLines'] == 0 for f in board['files']) and board['maxX'] > 0 and board['maxY'] > 0
      and {h['file'] for h in holes['holes']} == set(range(len(board['files']))))
print('%s  %s as a board: %d drill files and the outline, %d holes, extent %d x %d twips%s' % (
    'ok  ' if ok else 'DIFF', name, len(board['files']), len(holes['holes']), board['maxX'], board['maxY'],
    '' if ok else ', ' + board['ending'] + ' ' + ' / '.join(board['messages'])))
for f in board['files']:
    if f.get('format') and f['format']['source'] != 'decimal':
        print('      %s: %s' % (f['path'], f['format']))
sys.exit(0 if ok else 1)
PY
done
# Each board's folder as a package: the members its manifest calls drill files and outline, and
# no other, found by themselves, and the board read complete with no warning.
for manifest in "$WORK"/package/boards/*/manifest.json; do
    dir=$(dirname "$manifest")
    "$CLI" read "$dir" >"$WORK/package.json" || true
    python3 - "$(basename "$dir")" "$manifest" "$WORK/package.json" <<'PY' || status=1
import json, sys
name, manifest, read = sys.argv[1:]
layers = json.load(open(manifest))["layers"]
read = json.load(open(read))
want = {l["name"]: ("outline" if l["type"] == "outline" else "drill") for l in layers if l["type"] in ("drill", "outline")}
got = {m["name"]: ("outline" if m["role"] == "outline" else "drill") for m in read["package"]["members"] if m["role"] != "unused"}
# Said and expected: a format assumed, an outline whose line ends do not all meet within 2 um
# (kept as the outline, and told).
open_outline = [m for m in read["messages"] if m.startswith('外形 ') and 'の線は閉じていません' in m]
said = [m for m in read["messages"] if not m.startswith(('書式の指定がないため', 'nc_param.txt の書式')) and m not in open_outline]
ok = got == want and read["ending"] == "complete" and not said
print('%s  %s as a package: %s' % ('ok  ' if ok else 'DIFF', name, ', '.join('%s %s' % (n, r) for n, r in sorted(got.items()))))
for m in open_outline:
    print('      said: %s' % m)
if not ok:
    print('      wanted %s; %s %s' % (sorted(want.items()), read["ending"], ' / '.join(said)))
sys.exit(0 if ok else 1)
PY
done
exit $status
