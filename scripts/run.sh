#!/usr/bin/env bash
# Installs what is missing, builds Kivotrek and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing
configure_and_build -DKIVOTREK_BUILD_TESTS=OFF
# The desktop window is not there yet: read the sample board with the command line.
"$BUILD_DIR/src/kivotrek-cli" read "$ROOT/examples/board.gbr"
