#!/usr/bin/env bash
# Installs the build into a temporary root as a package would (prefix /usr) and checks the
# result: every file in its place, the installed console program finding its data and
# backing up, the desktop, AppStream, systemd, manual and completion files valid, one
# version everywhere, and the Debian package made from the build clean to lintian.
# Usage: installed_tree.sh CMAKE BUILD_DIR
set -euo pipefail

CMAKE=$1
BUILD=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ROOT=$WORK/root
USR=$ROOT/usr
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR=$ROOT "$CMAKE" --install "$BUILD" --prefix /usr >"$WORK/install.log" ||
    { cat "$WORK/install.log" >&2; exit 1; }

# The layout.
APP=org.example.vantoro.Vantoro
for file in bin/vantoro bin/vantoro-cli \
    share/vantoro/vnt.dat share/vantoro/vnt_help.txt \
    share/applications/$APP.desktop share/metainfo/$APP.metainfo.xml \
    share/icons/hicolor/scalable/apps/vantoro.svg \
    share/icons/hicolor/48x48/apps/vantoro.png share/icons/hicolor/256x256/apps/vantoro.png \
    share/man/man1/vantoro.1.gz share/man/man1/vantoro-cli.1.gz \
    share/doc/vantoro/copyright share/doc/vantoro/changelog.gz \
    share/bash-completion/completions/vantoro-cli \
    lib/systemd/user/vantoro-backup@.service lib/systemd/user/vantoro-backup@.timer \
    lib/systemd/user/vantoro-plugged@.service; do
    [ -s "$USR/$file" ] || fail "missing or empty: /usr/$file"
done
for program in vantoro vantoro-cli; do
    [ -x "$USR/bin/$program" ] || fail "/usr/bin/$program is not executable"
done
# The data lives under share only: found there, not by luck beside the executables.
[ ! -e "$USR/bin/vnt.dat" ] || fail "vnt.dat installed beside the executables"

# A PNG's width and height are the two big-endian words after its IHDR tag.
png_size() {
    local words
    words=$(od -An -tu1 -j16 -N8 "$1" | tr -s ' \n' ' ')
    read -r a b c d e f g h <<<"$words"
    echo "$(((a << 24) | (b << 16) | (c << 8) | d))x$(((e << 24) | (f << 16) | (g << 8) | h))"
}
for size in 48 256; do
    png=$USR/share/icons/hicolor/${size}x${size}/apps/vantoro.png
    [ -f "$png" ] || continue
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "$png is not a PNG"
    [ "$(png_size "$png")" = "${size}x${size}" ] ||
        fail "$png is $(png_size "$png"), not ${size}x${size}"
done

# The installed console program: its version, then a small backup.
CLI=$USR/bin/vantoro-cli
version=$("$CLI" --version) || fail "vantoro-cli --version failed"
[[ $version == "vantoro-cli "[0-9]* ]] || fail "unexpected version line: $version"
version=${version#vantoro-cli }
# One version everywhere: the manual pages, the AppStream release and the changelog say the
# one --version prints (the window's caption is tested with the window).
for page in vantoro vantoro-cli; do
    zgrep -q "^\.TH .* \"Vantoro $version\" " "$USR/share/man/man1/$page.1.gz" ||
        fail "the manual page $page.1 does not give the version $version"
done
grep -q "<release version=\"$version\"" "$USR/share/metainfo/$APP.metainfo.xml" ||
    fail "the AppStream metadata does not give the version $version"
[[ $(zcat "$USR/share/doc/vantoro/changelog.gz" | head -1) == "vantoro ($version) "* ]] ||
    fail "the changelog does not start with the version $version"

mkdir -p "$WORK/source/Letters" "$WORK/target"
printf 'first\n' >"$WORK/source/a.txt"
printf 'second, in a subfolder\n' >"$WORK/source/Letters/b.txt"
if "$CLI" backup-modified --source "$WORK/source" --target "$WORK/target" --include Letters \
    >"$WORK/backup.log" 2>&1; then
    for file in a.txt Letters/b.txt; do
        cmp -s "$WORK/source/$file" "$WORK/target/$file" || fail "no true copy of $file"
    done
else
    fail "the installed vantoro-cli backup failed:"
    cat "$WORK/backup.log" >&2
fi

# Without its data the installed program names every place it looked.
mv "$USR/share/vantoro" "$USR/share/vantoro.away"
status=0
"$CLI" list --source "$WORK/source" --target "$WORK/target" 2>"$WORK/missing.log" ||
    status=$?
message=$(cat "$WORK/missing.log")
[ "$status" -eq 2 ] || fail "without its data vantoro-cli ended with $status, not 2"
for place in "$USR/bin/vnt.dat" "$USR/share/vantoro/vnt.dat"; do
    [[ $message == *"Cannot open file containing program text."*"$place"* ]] ||
        fail "the message without data does not name $place: $message"
done
mv "$USR/share/vantoro.away" "$USR/share/vantoro"

# The units run the installed console program on a setup named by the instance.
service=$USR/lib/systemd/user/vantoro-backup@.service
grep -Eq '^ExecStart=(/usr/bin/)?vantoro-cli backup-modified --setup %E/vantoro/%i\.vnt --notify$' \
    "$service" || fail "unexpected ExecStart in $service"
grep -q '^Persistent=true$' "$USR/lib/systemd/user/vantoro-backup@.timer" ||
    fail "the timer does not catch up on missed runs"
grep -Eq '^ExecStart=(/usr/bin/)?vantoro-cli backup-modified --setup %E/vantoro/%i\.vnt --notify --once-a-day$' \
    "$USR/lib/systemd/user/vantoro-plugged@.service" || fail "unexpected ExecStart of the plugged unit"

# The completion offers the commands and completes a folder after --source.
completion=$(
    cd "$WORK"
    # shellcheck source=/dev/null
    source "$USR/share/bash-completion/completions/vantoro-cli"
    complete -p vantoro-cli >/dev/null
    complete_line() {
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        _vantoro_cli
        echo "${COMPREPLY[*]}"
    }
    complete_line vantoro-cli back
    complete_line vantoro-cli --source sou
    complete_line vantoro-cli --create
) || fail "the bash completion does not load"
[ "$completion" = $'backup-all backup-modified\nsource\n--create-target' ] ||
    fail "unexpected completions: $completion"

# Validators, where the machine has them.
check_with() {
    local tool=$1
    shift
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (Debian package $PACKAGE)"
        return
    fi
    "$tool" "$@" >"$WORK/check.log" 2>&1 || {
        fail "$tool $*"
        cat "$WORK/check.log" >&2
    }
}
PACKAGE=desktop-file-utils check_with desktop-file-validate "$USR/share/applications/$APP.desktop"
PACKAGE=appstream check_with appstreamcli validate --no-net \
    "$USR/share/metainfo/$APP.metainfo.xml"
for page in "$USR"/share/man/man1/*.1.gz; do
    # groff writes nothing for a page without mistakes.
    if command -v groff >/dev/null; then
        warnings=$(zcat "$page" | groff -man -ww -z 2>&1) || true
        [ -z "$warnings" ] || fail "$page: $warnings"
    fi
    # The build put in every value it was given: no @NAME@ is left.
    ! zgrep -q '@[A-Za-z_]*@' "$page" || fail "$page keeps a placeholder"
done
# systemd-analyze checks the units against the installed tree, when systemd is there.
if command -v systemd-analyze >/dev/null; then
    units=$WORK/units
    mkdir -p "$units"
    cp "$USR/lib/systemd/user/vantoro-backup@.timer" "$units/vantoro-backup@night.timer"
    sed "s|^ExecStart=\(/usr/bin/\)\?vantoro-cli|ExecStart=$CLI|" "$service" \
        >"$units/vantoro-backup@night.service"
    sed "s|^ExecStart=\(/usr/bin/\)\?vantoro-cli|ExecStart=$CLI|" \
        "$USR/lib/systemd/user/vantoro-plugged@.service" >"$units/vantoro-plugged@night.service"
    # An unknown key is only a warning to systemd: any line about the units is a failure;
    # lines about the machine (no D-Bus in a container, say) are not ours.
    systemd-analyze verify --man=no \
        "$units/vantoro-backup@night.service" "$units/vantoro-backup@night.timer" \
        "$units/vantoro-plugged@night.service" \
        >"$WORK/verify.log" 2>&1 || true
    if grep -Eq 'vantoro-(backup|plugged)' "$WORK/verify.log"; then
        fail "systemd-analyze verify"
        cat "$WORK/verify.log" >&2
    fi
else
    echo "SKIPPED: systemd-analyze is not installed"
fi

# The Debian package of this build: its version, and nothing lintian calls an error or a
# warning (errors and warnings are printed).
if command -v lintian >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    if "$(dirname "$CMAKE")/cpack" --config "$BUILD/CPackConfig.cmake" -B "$WORK/package" -G DEB \
        >"$WORK/cpack.log" 2>&1; then
        deb=$(ls "$WORK"/package/vantoro_*.deb)
        [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
            fail "the package's version is $(dpkg-deb -f "$deb" Version), not $version"
        lintian --fail-on error,warning "$deb" >&2 || fail "lintian $deb"
    else
        fail "cpack"
        cat "$WORK/cpack.log" >&2
    fi
else
    echo "SKIPPED: lintian or dpkg-shlibdeps is not installed (Debian packages lintian, dpkg-dev)"
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed tree complete and working"
