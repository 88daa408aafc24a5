#!/usr/bin/env bash
# Installs what is missing, builds the game and its art, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
exec build/default/bin/chaser
