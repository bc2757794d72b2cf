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
# Start in the sample folder so that the file dialog opens on the sample boards.
cd "$ROOT/examples"
exec "$BUILD_DIR/src/kivotrek" "$@"
