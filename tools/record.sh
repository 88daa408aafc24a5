#!/usr/bin/env bash
# Plays the game and records the input of every frame into FILE, to play back
# later with tools/replay.sh (or to attach to a bug report).
#
#   tools/record.sh FILE
set -euo pipefail
if [ $# -ne 1 ]; then
    echo "usage: $0 FILE" >&2
    exit 2
fi
file=$(realpath -m "$1")
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target chaser art -j "$(nproc)" >/dev/null
DXLIBDLL_RECORD=$file exec build/default/bin/chaser
