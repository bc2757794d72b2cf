#!/usr/bin/env bash
# A real board of four copper layers with every layer of its package: KiCad's video demo
# (Debian "kicad" and "kicad-demos"), plotted by bench/plot-kicad-demo.py into a folder of this
# run, read and drawn by kivotrek-layerbench with all its layers shown.
# Usage: bench/layers.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build}
DEMO=/usr/share/kicad/demos/video/video.kicad_pcb
[ -f "$DEMO" ] || { echo "no $DEMO: apt-get install kicad kicad-demos" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
/usr/bin/python3 "$ROOT/bench/plot-kicad-demo.py" "$DEMO" "$WORK/video" >/dev/null
"$BUILD/bench/kivotrek-layerbench" "$WORK/video"
