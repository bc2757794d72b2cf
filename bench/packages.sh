#!/usr/bin/env bash
# Packages of many members and of one very large drill file, read by kivotrek-cli: a folder and a
# zip of 10,000 small drill files, a zip of 100,000 members (refused past 10,000), and a zip of
# one Excellon file of 10,000,000 hits, whose peak memory is set against the file's read alone.
# Usage: bench/packages.sh [CLI]   (needs python3 and /usr/bin/time, Debian package "time")
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${1:-$ROOT/build/src/kivotrek-cli}
export QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

python3 - "$WORK" <<'PY'
import os, sys, zipfile
work = sys.argv[1]
folder = os.path.join(work, "many")
os.makedirs(folder)
# 9,999 drill files of one board, each a hole of its own in a folder of its own (KiCad's names,
# one tool each), and its outline: the 10,000 members a package may hold.
for i in range(9999):
    os.makedirs(os.path.join(folder, "%04d" % i))
    with open(os.path.join(folder, "%04d" % i, "board-PTH.drl"), "w") as f:
        f.write("M48\nMETRIC\nT1C0.300\n%%\nT1\nX%.2fY%.2f\nM30\n" % (i % 100, i // 100))
with open(os.path.join(folder, "board-Edge_Cuts.gbr"), "w") as f:
    f.write("%FSLAX46Y46*%\n%MOMM*%\n%TF.FileFunction,Profile,NP*%\n%ADD10C,0.1*%\nD10*\n"
            "X-1000000Y-1000000D02*\nG01*\nX101000000Y-1000000D01*\nX101000000Y101000000D01*\n"
            "X-1000000Y101000000D01*\nX-1000000Y-1000000D01*\nM02*\n")
# The same files side by side in one folder, as a CAM program writes a panel's drill files.
flat = os.path.join(work, "flat")
os.makedirs(flat)
for i in range(9999):
    with open(os.path.join(flat, "%04d.drl" % i), "w") as f:
        f.write("M48\nMETRIC\nT1C0.300\n%%\nT1\nX%.2fY%.2f\nM30\n" % (i % 100, i // 100))
with zipfile.ZipFile(os.path.join(work, "many.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    for top, _, names in sorted(os.walk(folder)):
        for name in names:
            path = os.path.join(top, name)
            z.write(path, os.path.relpath(path, folder))
with zipfile.ZipFile(os.path.join(work, "members.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(100000):
        z.writestr("m%06d.txt" % i, "x")
# One Excellon file of 10,000,000 hits on a 1 mm grid.
big = os.path.join(work, "big")
os.makedirs(big)
with open(os.path.join(big, "board-PTH.drl"), "w") as f:
    f.write("M48\nMETRIC\nT1C0.300\n%\nT1\n")
    row = []
    for i in range(10000000):
        row.append("X%dY%d\n" % (i % 4000, i // 4000))
        if len(row) == 100000:
            f.write("".join(row)); row = []
    f.write("".join(row) + "M30\n")
with zipfile.ZipFile(os.path.join(work, "big.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.write(os.path.join(big, "board-PTH.drl"), "board-PTH.drl")
PY

seconds() { # wall-clock seconds of a command, its output thrown away
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    awk -v n="$(( end - start ))" 'BEGIN { printf "%.2f", n / 1e9 }'
}
peak() { # peak resident memory in MB
    { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -n 1 | awk '{ printf "%.0f", $1 / 1024 }'
}

echo "folder of 10,000 drill files, read:        $(seconds "$CLI" read "$WORK/many") s"
{ "$CLI" read "$WORK/many" || true; } | head -c 300; echo
echo "zip of 10,000 drill files, read:           $(seconds "$CLI" read "$WORK/many.zip") s"
echo "one folder of 9,999 drill files, read:     $(seconds "$CLI" read "$WORK/flat") s"
echo "zip of 100,000 members, refused:           $(seconds "$CLI" read "$WORK/members.zip") s"
{ "$CLI" read "$WORK/members.zip" || true; } | head -c 300; echo
alone=$(peak "$CLI" read --excellon "$WORK/big/board-PTH.drl")
zipped=$(peak "$CLI" read "$WORK/big.zip")
echo "10,000,000 hits: peak memory of the file alone ${alone} MB, of its zip ${zipped} MB," \
    "ratio $(awk -v a="$zipped" -v b="$alone" 'BEGIN { printf "%.2f", a / b }')"
