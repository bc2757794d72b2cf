#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the installed
# kivotrek-cli on the sample board it carries.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${PKG_BUILD_DIR:-$ROOT/build-pkg}

cmake -S "$ROOT" -B "$BUILD" -DKIVOTREK_BUILD_TESTS=OFF -DKIVOTREK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
rm -f "$BUILD"/kivotrek_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/kivotrek_*.deb)
echo "package: $(basename "$deb")"

fail() { echo "package test: $*" >&2; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6printsupport6 fonts-noto-cjk; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
for f in usr/bin/kivotrek usr/bin/kivotrek-cli usr/lib/kivotrek/kivotrek-help.html \
         usr/share/applications/kivotrek.desktop usr/share/mime/packages/kivotrek.xml \
         usr/share/icons/hicolor/scalable/apps/kivotrek.svg usr/share/icons/hicolor/48x48/apps/kivotrek.png \
         usr/share/kivotrek/examples/board.gbr; do
    [ -e "$scratch/$f" ] || fail "missing $f"
done
grep -q '^Exec=kivotrek %f$' "$scratch/usr/share/applications/kivotrek.desktop" || fail "desktop entry Exec"

cli=$scratch/usr/lib/kivotrek/kivotrek-cli
examples=$scratch/usr/share/kivotrek/examples
"$cli" read "$examples/board.gbr" | grep -q '"ending":"complete"' || fail "read of the sample board"
"$cli" render --settings "$examples/KIVOTREK.INI" --preview -o "$scratch/preview.png" "$examples/board.gbr" \
    || fail "preview of the sample board"
"$cli" render --settings "$examples/KIVOTREK.INI" --page "自動(A4縦)" -o "$scratch/page.pdf" "$examples/board.gbr" \
    || fail "page of the sample board"
head -c 5 "$scratch/page.pdf" | grep -q '%PDF-' || fail "page.pdf is no PDF"
echo "package test: the installed kivotrek-cli read, drew and printed the sample board"
