# Shared set-up for run.sh and test.sh: install what is missing, configure, build.
# Sourced, not run. Sets BUILD_DIR.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}

missing_packages() {
    local pkg
    grep -vE '^\s*(#|$)' "$ROOT/scripts/packages.txt" | while read -r pkg; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
    done
}

install_missing() {
    local missing
    missing=$(missing_packages | tr '\n' ' ')
    [ -z "${missing// /}" ] && return 0
    echo "Installing missing packages: $missing"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo="sudo"
        else
            echo "These Debian packages are missing: $missing" >&2
            echo "Install them as root (apt-get install $missing), then run this again." >&2
            exit 1
        fi
    fi
    $sudo apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y $missing
}

configure_and_build() {
    local werror=OFF
    [ -n "${CI:-}" ] && werror=ON
    cmake -S "$ROOT" -B "$BUILD_DIR" -DKIVOTREK_WERROR=$werror "$@"
    cmake --build "$BUILD_DIR" -j "$(nproc)"
}
