#!/usr/bin/env bash
# The 64-bit ARM Linux build, from a Debian 12 x86-64 machine: cross-compiles
# the game, its library, the art and the tests with Debian's cross compiler and
# the libraries' arm64 packages, and runs every test under qemu's user-mode
# emulator. The numbers and frames must come out as on x86-64: the numeric
# tests, the committed recordings' digests and the string order's table are
# checked here as everywhere.
#
#   tools/arm64.sh            everything (packages, emulation, build, tests)
#   tools/arm64.sh --setup    packages and emulation only (what tools/release.sh
#                             needs before its own cross build of the package)
#
# Needs root (or sudo) for apt-get, for adding the arm64 architecture to dpkg
# and for registering qemu with the kernel. The build is in build/arm64.
#
# A test that starts another program of the build (the game, a stand-in) needs
# the kernel to run arm64 programs through qemu: binfmt_misc, with qemu-aarch64
# registered. This script mounts binfmt_misc and registers qemu where it can;
# where it cannot (a container without the privilege), it says so in one line
# and runs only the tests that start no second program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

setup_only=0
while [ $# -gt 0 ]; do
    case "$1" in
    --setup) setup_only=1 ;;
    *)
        echo "usage: $0 [--setup]" >&2
        exit 2
        ;;
    esac
    shift
done

jobs=$(nproc)
qemu=/usr/bin/qemu-aarch64-static
build=$root/build/arm64

. "$root/tools/packages.sh"

step() { echo "== $* ($(date +%T))"; }

# --- Packages -----------------------------------------------------------------
step "packages"
# The target's libraries come as Debian's arm64 packages, installed beside the
# build machine's own (multiarch): dpkg must know the architecture first.
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "Adding the arm64 architecture to dpkg"
    $sudo dpkg --add-architecture arm64
    apt_get update
    apt_updated=1
fi
packages=(
    crossbuild-essential-arm64 qemu-user-static binfmt-support
    cmake ninja-build make clang-format xvfb xauth libxxhash-dev
    libsdl2-dev:arm64 libpng-dev:arm64 libx11-dev:arm64 libxxhash-dev:arm64
    libgtest-dev:arm64 libgmock-dev:arm64
)
install_missing "${packages[@]}"

# --- Emulation ----------------------------------------------------------------
# The kernel hands an arm64 program to qemu when binfmt_misc knows it. The
# registration's F flag opens qemu once, at registration, so it works in any
# mount namespace or chroot later; update-binfmts (binfmt-support) does that
# from the description qemu-user-static installs.
binfmt=/proc/sys/fs/binfmt_misc
binfmt_ready() { [ -f "$binfmt/qemu-aarch64" ] && grep -qx enabled "$binfmt/qemu-aarch64"; }
register_qemu() {
    if [ ! -f "$binfmt/status" ]; then
        $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || return 1
    fi
    if binfmt_ready; then return 0; fi
    if [ -f /usr/share/binfmts/qemu-aarch64 ]; then
        $sudo update-binfmts --enable qemu-aarch64 >/dev/null 2>&1 ||
            $sudo update-binfmts --import qemu-aarch64 >/dev/null 2>&1 || true
    fi
    if binfmt_ready; then return 0; fi
    # The register line itself: magic and mask of a 64-bit little-endian ARM
    # ELF executable or shared object, the interpreter, and the flags (O: the
    # program's own file, C: its set-user-ID credentials, F: qemu opened now).
    local magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    local mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-aarch64:M::$magic:$mask:$qemu:OCF" | $sudo tee "$binfmt/register" >/dev/null 2>&1 ||
        return 1
    binfmt_ready
}
step "emulation"
emulated_children=1
if register_qemu; then
    echo "the kernel runs arm64 programs through $(sed -n 's/^interpreter //p' "$binfmt/qemu-aarch64")"
else
    emulated_children=0
    echo "cannot register qemu-aarch64 with binfmt_misc here: only the tests that start no second program run"
fi

if [ $setup_only -eq 1 ]; then
    step "done (packages and emulation only)"
    exit 0
fi

# --- The build ----------------------------------------------------------------
step "configuring and building the project for arm64"
cmake --preset arm64
cmake --build --preset arm64 -j "$jobs"

# --- Tests under qemu ---------------------------------------------------------
export SDL_VIDEODRIVER=offscreen SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
step "running the tests under qemu"
if [ $emulated_children -eq 1 ]; then
    ctest --preset arm64 -j "$jobs"
else
    # The groups of tests that start a program of the build: the game, the
    # stand-in games of tests/game and tests/sdl2, or the test program itself
    # again (death tests in the "threadsafe" style). The build machine's own
    # programs they start (Xvfb, a shell, localedef) need no qemu.
    second_program='ProcessTest|GameRunTest|BrokenArtTest|FrozenGameTest|HostileArtTest'
    second_program+='|OutOfMemoryTest|ReplayTest|StandardStreamsTest|RealGameSignalTest'
    second_program+='|BareXServerTest|OutOfDescriptorsTest|NoDisplayTest|NoDisplayDeathTest'
    second_program+='|QuitSignalTest|RuntimeEntryTest'
    ctest --preset arm64 -j "$jobs" -E "(^|/)($second_program)\\."
fi

# The string order's table: the generator, built for arm64 and run under
# qemu, writes the committed table byte for byte.
step "the string order's table, written on arm64"
work=$build/cp932_weights
mkdir -p "$work"
aarch64-linux-gnu-g++ -std=c++20 -O2 -ffp-contract=off -Wall -Wextra -Werror \
    tools/cp932_weights/generate.cpp -o "$work/generate"
"$qemu" "$work/generate" tools/cp932_weights/order.txt "$work/cp932_weights.h"
clang-format -i "$work/cp932_weights.h"
if ! cmp -s "$work/cp932_weights.h" platform/posix/cp932_weights.h; then
    echo "the generator on arm64 writes a table other than platform/posix/cp932_weights.h" >&2
    exit 1
fi
echo "platform/posix/cp932_weights.h is what the generator writes on arm64"

step "done"
