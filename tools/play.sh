#!/usr/bin/env bash
# Installs what playing needs, builds the game, its graphics library and its
# art (nothing else), and starts the game. Later runs only rebuild what
# changed; CMake configures again by itself when its files change.
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/lib.sh
setup_once --play
if [ ! -f build/play/CMakeCache.txt ]; then
    cmake --preset play >/dev/null
fi
cmake --build --preset play -j "$(nproc)" >/dev/null
exec build/play/bin/chaser "$@"
