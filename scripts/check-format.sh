#!/usr/bin/env bash
# Fails on any C++ line that .clang-format would change (clang-format 14, as Debian 12
# has it). Usage: scripts/check-format.sh      To mend: the same files through clang-format -i.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# The project's C++ files (a checkout may come without git).
find src tests fuzz bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
echo "format: every C++ file as .clang-format has it"
