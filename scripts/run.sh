#!/usr/bin/env bash
# Installs what is missing, builds Kivotrek and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing
configure_and_build -DKIVOTREK_BUILD_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: start Kivotrek from a desktop session (or under xvfb-run)." >&2
    exit 1
fi
# The sample logo prints at the foot of the page until you put your own image.bmp there.
[ -e "$BUILD_DIR/src/image.bmp" ] || cp "$ROOT/examples/image.bmp" "$BUILD_DIR/src/image.bmp"
# Start in the sample folder so that the file dialog opens on the sample boards.
cd "$ROOT/examples"
exec "$BUILD_DIR/src/kivotrek" "$@"
