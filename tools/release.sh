#!/usr/bin/env bash
# The releases, from a Debian 12 machine, into dist/:
#   chaser_<version>_amd64.deb            the Debian package
#   chaser_<version>_arm64.deb            the Debian package for 64-bit ARM
#   chaser-<version>-windows-x64.zip      the Windows folder to unpack anywhere
#   chaser-<version>-web.zip              the web site, for any static host
#   SHA256SUMS                            their sums
# The version is the one in the top CMakeLists.txt; a build that is not the
# commit tagged v<version> adds what `git describe` says (see docs/release.md).
#
#   tools/release.sh           build the packages
#   tools/release.sh --check   build them, then check them as a player meets them:
#       lintian shows no error; the desktop entry and the metainfo validate;
#       no file of a .deb holds the path of this machine's source or build
#       tree; each .deb installs with apt-get (the arm64 one as a foreign
#       architecture, run through qemu), `chaser` started from / plays a
#       committed recording headless to its committed frames, plays again and
#       ends with status 0 on SIGTERM, and apt-get remove leaves no file of it
#       behind; the Windows zip, unpacked into a folder whose
#       name has spaces and non-ASCII letters, plays under wine (headless) and
#       ends with status 0 on Ctrl-C; the web zip, unpacked and served,
#       passes the browser tests.
#
# Needs root (or sudo) for apt-get; --check installs and removes the packages.
# The arm64 package is cross-built in build/arm64-release, after
# `tools/arm64.sh --setup` (the cross compiler, the arm64 libraries, qemu).
# The Windows zip packs what tools/windows.sh builds in build/mingw (it runs
# that script without its tests, which builds only what is out of date); the
# web zip packs what tools/web.sh builds in build/web/site.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

check=0
while [ $# -gt 0 ]; do
    case "$1" in
    --check) check=1 ;;
    *)
        echo "usage: $0 [--check]" >&2
        exit 2
        ;;
    esac
    shift
done

jobs=$(nproc)
dist=$root/dist
. tools/lib.sh

# --- Packages -----------------------------------------------------------------
step "packages"
setup_once
install_missing dpkg-dev lintian desktop-file-utils appstream binutils file unzip gzip

# --- Version ------------------------------------------------------------------
# The release's number from the top CMakeLists.txt. The commit tagged
# v<number> is that release; other builds carry how far they are from it, in
# a form Debian orders rightly: 1.0~git42.gabc1234 before the release (no tag
# yet), 1.0+git3.gabc1234 after it, .dirty for uncommitted changes.
base=$(sed -n 's/^project([^)]*VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt | head -n1)
if [ -z "$base" ]; then
    echo "no version in the top CMakeLists.txt's project()" >&2
    exit 1
fi
version=$base
if described=$(git describe --tags --match "v$base" --long --dirty 2>/dev/null); then
    # v1.0-3-gabc1234[-dirty]
    count=$(sed -E 's/^v[^-]+-([0-9]+)-g.*/\1/' <<<"$described")
    hash=$(sed -E 's/^v[^-]+-[0-9]+-(g[0-9a-f]+).*/\1/' <<<"$described")
    if [ "$count" -ne 0 ]; then
        version="$base+git$count.$hash"
    fi
else
    described=$(git describe --always --dirty)
    version="$base~git$(git rev-list --count HEAD).g${described%-dirty}"
fi
if [[ $described == *-dirty ]]; then
    version="$version.dirty"
fi
# Dates inside the packages (changelog, man page, metainfo) are the commit's.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
echo "version $version"

mkdir -p "$dist"
rm -f "$dist"/chaser_*.deb "$dist"/chaser-*.zip "$dist/SHA256SUMS"

# --- The Debian package -------------------------------------------------------
step "the Debian package"
cmake --preset release -DGAME_PACKAGE_VERSION="$version" >/dev/null
cmake --build --preset release -j "$jobs"
(cd build/release && cpack -G DEB -B "$root/build/release/packages")
mv build/release/packages/chaser_*.deb "$dist/"
deb=$(ls "$dist"/chaser_*_"$(dpkg --print-architecture)".deb)

# --- The Debian package for 64-bit ARM ----------------------------------------
# The same release build, cross-compiled (cmake/toolchains/aarch64-linux-gnu.cmake);
# dpkg-shlibdeps finds its dependencies among the arm64 libraries' packages.
step "the Debian package for arm64"
tools/arm64.sh --setup
cmake --preset arm64-release -DGAME_PACKAGE_VERSION="$version" >/dev/null
cmake --build --preset arm64-release -j "$jobs"
(cd build/arm64-release && cpack -G DEB -B "$root/build/arm64-release/packages")
mv build/arm64-release/packages/chaser_*_arm64.deb "$dist/"
arm64_deb=$(ls "$dist"/chaser_*_arm64.deb)

# --- The Windows zip ----------------------------------------------------------
step "the Windows zip"
tools/windows.sh --no-tests --no-game
cmake build/mingw -DGAME_PACKAGE_VERSION="$version" >/dev/null
(cd build/mingw && cpack -G ZIP -B "$root/build/mingw/packages")
mv build/mingw/packages/chaser-*.zip "$dist/"
zip=$(ls "$dist"/chaser-*-windows-x64.zip)

# --- The web site -------------------------------------------------------------
# The site's files at the top of the zip: unpacked into any folder of a static
# host, that folder's index.html is the game.
step "the web zip"
tools/web.sh
web_zip=$dist/chaser-$version-web.zip
(cd build/web/site && cmake -E tar cf "$web_zip" --format=zip -- *)

(cd "$dist" && sha256sum -- "$(basename "$deb")" "$(basename "$arm64_deb")" "$(basename "$zip")" \
    "$(basename "$web_zip")" >SHA256SUMS)
step "built"
ls -l "$dist"
cat "$dist/SHA256SUMS"

if [ $check -eq 0 ]; then
    exit 0
fi

# --- Checks -------------------------------------------------------------------
work=$(mktemp -d)
game_pid=""
# What the game played by play_then_quit (tools/lib.sh) writes.
game_stdout=$work/stdout
game_stderr=$work/stderr
cleanup() {
    if [ -n "$game_pid" ]; then kill -KILL "$game_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# lintian, then the files inside: the desktop entry and metainfo validate,
# the game, the art, the man page and the copyright file are there, and no
# file holds a path of this machine's trees.
check_deb_contents() { # deb
    local deb=$1 unpacked
    step "check: lintian, $(basename "$deb")"
    lintian --display-info "$deb" 2>&1 | grep -v '^running with root privileges' |
        tee "$work/lintian" || true
    if grep -q '^E:' "$work/lintian"; then
        fail "lintian reports errors"
    fi
    echo "lintian: $(grep -c '^E:' "$work/lintian") errors, $(grep -c '^W:' "$work/lintian") warnings"

    step "check: the package's contents, $(basename "$deb")"
    unpacked=$work/deb-$(dpkg-deb -f "$deb" Architecture)
    dpkg-deb -x "$deb" "$unpacked"
    desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
    appstreamcli validate --strict --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
    for required in usr/games/chaser usr/share/chaser/resource/bmp/00.bmp \
        usr/share/chaser/resource/bmp/chr50-7.bmp usr/share/man/man6/chaser.6.gz \
        usr/share/doc/chaser/copyright; do
        [ -f "$unpacked/$required" ] || fail "the package has no $required"
    done
    [ "$(find "$unpacked/usr/share/chaser/resource/bmp" -name '*.bmp' | wc -l)" -eq 408 ] ||
        fail "the package does not hold the 408 pictures"
    # No path of this machine's trees: not the source tree, which holds the build trees.
    local leaks
    leaks=$(find "$unpacked" -type f -exec sh -c 'strings -a "$1" | grep -qF "$2" && echo "$1"' \
        sh {} "$root" \; || true)
    if [ -n "$leaks" ]; then
        fail "these files hold the build machine's path $root: $leaks"
    fi
    echo "no file holds $root"
}

# apt-get install; the installed game, started from /, plays a committed
# recording headless to the recording's committed frames, then plays again
# and ends with status 0 on SIGTERM, with nothing on stderr either time;
# apt-get remove leaves no file of it behind.
check_deb_installs() { # deb
    local deb=$1 arch package
    arch=$(dpkg-deb -f "$deb" Architecture)
    package=chaser:$arch
    step "check: install, play from /, remove, $(basename "$deb")"
    # Any chaser installed before, of either architecture (they cannot be installed side by side).
    local installed
    for installed in $(dpkg-query -W -f='${binary:Package}\n' chaser 2>/dev/null); do
        if package_installed "$installed"; then
            apt_get remove -y "$installed" >/dev/null
        fi
    done
    apt_get install -y "$deb"
    dpkg-query -L "$package" >"$work/installed"
    local game=(env PATH="/usr/games:$PATH" "${headless_env[@]}")
    local recording=$root/tests/replays/phone-touch-and-wasd.replay status=0
    (cd / && exec timeout 300 "${game[@]}" DXLIBDLL_REPLAY="$recording" \
        DXLIBDLL_DIGESTS="$work/digests" DXLIBDLL_UNPACED=1 chaser) \
        >"$work/stdout" 2>"$work/stderr" || status=$?
    [ "$status" -eq 0 ] || fail "the installed game ended with status $status on a recording, not 0"
    if [ -s "$work/stderr" ]; then
        head -n 5 "$work/stderr" >&2
        fail "the installed game complained (art not found?)"
    fi
    cmp "${recording%.replay}.digests" "$work/digests" ||
        fail "the installed game's frames differ from those of $(basename "$recording")"
    echo "the installed game played $(basename "$recording") to its $(wc -l <"$work/digests") frames"
    # Counted from the first frame, however long the start (through qemu it
    # takes seconds where it takes tens of milliseconds natively).
    status=0
    game_digests=$work/digests play_then_quit / 3 TERM "${game[@]}" chaser || status=$?
    [ "$status" -eq 0 ] || fail "the installed game ended with status $status on SIGTERM, not 0"
    if [ -s "$work/stderr" ]; then
        head -n 5 "$work/stderr" >&2
        fail "the installed game complained (art not found?)"
    fi
    echo "the installed game played from / and ended with status 0"
    apt_get remove -y "$package"
    local left="" path
    while IFS= read -r path; do
        [ -e "$path" ] || continue
        # Shared folders (/usr/games, /usr/share/icons/...) stay for their other owners.
        if [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi
        left="$left $path"
    done <"$work/installed"
    [ -z "$left" ] || fail "apt-get remove left behind:$left"
    ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "config-files" ||
        fail "apt-get remove left the package's configuration"
    echo "apt-get remove left nothing behind"
}

check_deb_contents "$deb"
check_deb_contents "$arm64_deb"
check_deb_installs "$deb"
# The arm64 package installs here as a foreign architecture (multiarch: its
# dependencies are the arm64 libraries tools/arm64.sh installed), and its
# game runs through qemu where the kernel hands arm64 programs to it.
if [ -f /proc/sys/fs/binfmt_misc/qemu-aarch64 ] &&
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-aarch64; then
    check_deb_installs "$arm64_deb"
else
    echo "arm64 programs do not run here (no qemu-aarch64 in binfmt_misc): $(basename "$arm64_deb") is not installed"
fi

step "check: the Windows zip under wine"
folder="$work/Spiele für Kinder – ゲーム"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
game_dir=$(find "$folder" -mindepth 1 -maxdepth 1 -type d)
for required in chaser.exe dxlibdll.dll SDL2.dll README.txt LICENSE.txt resource/bmp/00.bmp \
    resource/bmp/chr50-7.bmp; do
    [ -f "$game_dir/$required" ] || fail "the zip has no $required"
done
# The prefix of the Windows build's tests, already made; no display, the
# offscreen driver. Started as a double-click starts it, in its own folder;
# Ctrl-C (SIGINT, which wine hands the game as a console Ctrl-C) ends it.
use_wine_prefix "$root/build/mingw/wineprefix"
status=0
play_then_quit "$game_dir" 8 INT env -u DISPLAY -u WAYLAND_DISPLAY "${headless_env[@]}" \
    "$wine64" chaser.exe || status=$?
wineserver -k 2>/dev/null || true
[ "$status" -eq 0 ] || fail "the Windows game ended with status $status on Ctrl-C, not 0"
if [ -s "$work/stderr" ]; then
    head -n 5 "$work/stderr" >&2
    fail "the Windows game complained (art not found?)"
fi
echo "the Windows game played in \"$(basename "$folder")\" and ended with status 0"

step "check: the web zip, served"
mkdir -p "$work/web"
unzip -q "$web_zip" -d "$work/web"
[ -f "$work/web/index.html" ] || fail "the web zip has no index.html at its top"
# The web build's tests, the browser tests against the unpacked copy rather
# than the build's own site.
CHASER_WEB_SITE=$work/web tools/web.sh --test || fail "the unpacked web zip fails the web tests"

step "all checks passed"
