#!/usr/bin/env bash
# The floors of src/, from the bottom: common < table < drill < gerber, excellon, settings <
# board < package < drawing < checks < app, cli. A file includes its own floor and the floors below it,
# never one above: fails naming each include that runs up. Usage: scripts/check-floors.sh [SRC]
set -euo pipefail
SRC=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../src" && pwd)}
declare -A floor=([common]=1 [table]=2 [drill]=3 [gerber]=4 [excellon]=4 [settings]=4 [board]=5
    [package]=6 [drawing]=7 [checks]=8 [app]=9 [cli]=9)
status=0
while IFS= read -r -d '' file; do
    dir=$(basename "$(dirname "$file")")
    [ -n "${floor[$dir]:-}" ] || { echo "$file: folder $dir has no floor" >&2; status=1; continue; }
    while IFS= read -r included; do
        [ -n "${floor[$included]:-}" ] || continue
        if [ "${floor[$included]}" -gt "${floor[$dir]}" ]; then
            echo "${file#"$SRC"/} includes $included/ (a higher floor than $dir/)" >&2
            status=1
        fi
    done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)/.*|\1|p' "$file")
done < <(find "$SRC" -mindepth 2 -maxdepth 2 \( -name '*.h' -o -name '*.cpp' \) -print0)
[ $status -eq 0 ] && echo "floors: no include runs up"
exit $status
