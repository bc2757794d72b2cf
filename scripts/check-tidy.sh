#!/usr/bin/env bash
# clang-tidy (the checks of .clang-tidy, warnings as errors) over the core: every source but the
# windows'. Needs a build folder configured with CMAKE_EXPORT_COMPILE_COMMANDS=ON.
# Usage: scripts/check-tidy.sh [BUILD_DIR]   (build)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$(realpath "${1:-$ROOT/build}")
[ -f "$BUILD/compile_commands.json" ] || { echo "$BUILD has no compile_commands.json" >&2; exit 1; }
cd "$ROOT"
find src -name '*.cpp' ! -path 'src/app/*' -print0 | xargs -0 -n 4 -P "$(nproc)" clang-tidy -p "$BUILD" --quiet
echo "tidy: no finding in the core"
