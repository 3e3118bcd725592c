#!/usr/bin/env bash
# Names the test suites whose tests start a folder walk: the ones the serial engine runs again
# (tests/CMakeLists.txt keeps their list). Each test runs alone with a stand-in for getenv
# that notes every read of VANTORO_THREADS, which the walk reads once as it is built; the
# console program a test starts inherits it. Run it under the build lock, after a build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${VANTORO_BUILD_DIR:-$ROOT/build}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

cat >"$WORK/probe.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>
char* getenv(const char* name) {
    char* (*real)(const char*) = (char* (*)(const char*))dlsym(RTLD_NEXT, "getenv");
    const char* log = real("WALK_PROBE_LOG");
    if (log != NULL && strcmp(name, "VANTORO_THREADS") == 0) {
        const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd >= 0) {
            const ssize_t written = write(fd, "walk\n", 5);
            (void)written;
            close(fd);
        }
    }
    return real(name);
}
C
cc -shared -fPIC -o "$WORK/probe.so" "$WORK/probe.c" -ldl

for program in core_tests gui_tests; do
    binary="$BUILD_DIR/bin/$program"
    QT_QPA_PLATFORM=offscreen "$binary" --gtest_list_tests 2>/dev/null |
        awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' |
        while read -r test; do
            rm -f "$WORK/log"
            QT_QPA_PLATFORM=offscreen WALK_PROBE_LOG="$WORK/log" LD_PRELOAD="$WORK/probe.so" \
                "$binary" --gtest_filter="$test" >/dev/null 2>&1 || true
            if [ -s "$WORK/log" ]; then echo "$program ${test%%.*}"; fi
        done
done | sort -u
