#!/usr/bin/env bash
# Builds Vantoro (installing what is missing) and starts it.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing_packages
configure_and_build --target vantoro
exec "$BUILD_DIR/bin/vantoro" "$@"
