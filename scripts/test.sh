#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# strace lets a test see that a backup ends with its disk flushed; acl and attr set and read
# the access lists and extended attributes that copies keep, and btrfs-progs makes a file
# system that holds none; dosfstools makes a disk image Windows would write; bindfs, a FUSE
# file system; exfat-fuse, exfatprogs, ntfs-3g and fusefat make and mount the disks people
# back up to (exFAT, NTFS, FAT32) through their FUSE drivers; dpkg-dev, file and lintian build the Debian package from the build and check it;
# dbus-daemon is the private bus on which the notifications and the sleep lock are tested.
install_missing_packages strace acl attr btrfs-progs dosfstools bindfs dpkg-dev file lintian \
    dbus-daemon exfat-fuse exfatprogs ntfs-3g fusefat
configure_and_build
# Window tests run on Qt's offscreen platform: no display needed.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
