#!/usr/bin/env bash
# Installs what is missing, builds the game and its art, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
if [ ! -x build/default/bin/chaser ]; then
    echo "The playable game needs the SDL2 graphics library (platform/sdl2), which this build does not have yet." >&2
    exit 1
fi
exec build/default/bin/chaser
