#!/usr/bin/env bash
# Builds the Debian package (installing what is missing), checks it with lintian and prints
# its path. Install it with: sudo apt install ./build-package/vantoro_*.deb
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
PACKAGE_DIR=${VANTORO_PACKAGE_DIR:-$ROOT/build-package}
# dpkg-shlibdeps finds the package's dependencies; CPack finds the executables with file.
install_missing_packages dpkg-dev file lintian
cmake -S "$ROOT" -B "$PACKAGE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF -DVANTORO_BENCHMARKS=OFF
cmake --build "$PACKAGE_DIR"
rm -f "$PACKAGE_DIR"/vantoro_*.deb
(cd "$PACKAGE_DIR" && cpack -G DEB >cpack.log 2>&1) || { cat "$PACKAGE_DIR/cpack.log" >&2; exit 1; }
package=$(ls "$PACKAGE_DIR"/vantoro_*.deb)
# Debian's own checks: a package with an error or a warning is not handed out.
lintian --fail-on error,warning "$package" >&2 || { echo "lintian: $package" >&2; exit 1; }
echo "$package"
