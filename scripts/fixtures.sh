# Shared by real-boards.sh and fuzz.sh: fetches the npm package @tracespace/fixtures (real boards
# of other projects, never committed) into a folder. Sourced, not run.
# fetch_fixtures DIR: unpacks the package into DIR/package; returns 1 when it cannot be fetched.
fetch_fixtures() {
    local dir=$1
    (cd "$dir" && timeout 300 npm pack --silent @tracespace/fixtures >/dev/null 2>&1) || return 1
    tar xzf "$dir"/tracespace-fixtures-*.tgz -C "$dir"
}

# The board files of the package (its boards and its single-feature Gerber files): drill, Gerber
# and outline files, without its pictures and notes.
fixture_files() {
    find "$1/package/boards" "$1/package/gerbers" -type f ! -name '*.svg' ! -name '*.json' ! -name '*.md' ! -name '*.js' \
        ! -name 'LICENSE*' -print0
}
