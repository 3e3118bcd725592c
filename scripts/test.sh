#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# strace lets a test see that a backup ends with its disk flushed; dosfstools makes a
# disk image Windows would write; bindfs, a FUSE file system.
install_missing_packages strace dosfstools bindfs
configure_and_build
# Window tests run on Qt's offscreen platform: no display needed.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
