# Shared by start.sh and test.sh: install what the build needs, then configure and build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${VANTORO_BUILD_DIR:-$ROOT/build}

# Debian packages: compiler, build tools, Qt 6, SQLite, GoogleTest, the X11 bits the window
# needs, rsvg-convert for the icon, and the validators of the installed desktop and AppStream files.
PACKAGES=(g++ cmake ninja-build qt6-base-dev libsqlite3-dev libgl-dev libgtest-dev libgmock-dev
          libqt6gui6 libqt6widgets6 qt6-qpa-plugins fonts-liberation librsvg2-bin
          desktop-file-utils appstream)

install_missing_packages() {
    local missing=()
    for pkg in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# VANTORO_BENCHMARKS=ON in the environment adds the benchmark programs to the build (the
# bench scripts ask for them); without it a build folder keeps what it was configured with.
configure_and_build() {
    local werror=OFF
    # CI treats warnings as errors; a developer's build only shows them.
    [ -n "${CI:-}" ] && werror=ON
    local options=("-DVANTORO_WERROR=$werror")
    local benchmarks_missing=false
    if [ "${VANTORO_BENCHMARKS:-}" = ON ]; then
        options+=(-DVANTORO_BENCHMARKS=ON)
        grep -q "^VANTORO_BENCHMARKS:BOOL=ON\$" "$BUILD_DIR/CMakeCache.txt" 2>/dev/null ||
            benchmarks_missing=true
    fi
    if [ ! -f "$BUILD_DIR/build.ninja" ] || $benchmarks_missing ||
        ! grep -q "^VANTORO_WERROR:BOOL=$werror\$" "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja "${options[@]}"
    fi
    cmake --build "$BUILD_DIR" "$@"
}
