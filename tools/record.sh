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
# The game as tools/play.sh builds and starts it, recording.
DXLIBDLL_RECORD=$(realpath -m "$1") exec "$(dirname "$0")/play.sh"
