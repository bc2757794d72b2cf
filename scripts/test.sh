#!/usr/bin/env bash
# Installs what is missing, builds Kivotrek with its tests and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing
configure_and_build -DKIVOTREK_BUILD_TESTS=ON
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
