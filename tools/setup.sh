#!/usr/bin/env bash
# Installs what is missing on Debian 12: with --play only what building and
# playing the game needs; otherwise also what the tests, benchmarks and tools
# need. Runs apt-get only for what is missing; needs root (or sudo) for that.
set -euo pipefail

play_packages=(
    build-essential cmake pkg-config libsdl2-dev libpng-dev libxxhash-dev
)
development_packages=(
    ninja-build clang clang-format libclang-rt-14-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libsdl2-image-dev libmpfr-dev
    xvfb xauth xdotool imagemagick valgrind locales
)

packages=("${play_packages[@]}")
if [ "${1:-}" != "--play" ]; then
    packages+=("${development_packages[@]}")
fi

. "$(dirname "$0")/packages.sh"
install_missing "${packages[@]}"
