#!/usr/bin/env bash
# Writes the committed recordings of tests/replays/ from a script of held
# inputs, so what each one plays is readable here rather than in 3,000 lines.
# Their digest files come from playing them (tools/replay.sh FILE --digests OUT) and
# looking at the frames; this script writes only the input.
#
# One is not written here: phone-touch-and-wasd.replay was recorded in the web
# page on a phone (the touch pad, then W and A pressed where a French keyboard
# has Z and Q, S, D, Escape) and saved from it; its digests are the frames the
# page showed as it was played, which every platform shows again.
#
#   tools/write_replays.sh [DIRECTORY]     (default: tests/replays)
#
# Key codes (those of dxCheckHitKey): 1 Escape, 200 Up, 208 Down, 203 Left,
# 205 Right; 72, 80, 75, 77 the keypad's 8, 2, 4, 6. Pad 1's bits: 1 down,
# 2 left, 4 right, 8 up.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-tests/replays}
mkdir -p "$out"

# hold FRAMES PAD QUIT [KEYS...]: that input for that many frames.
hold() {
    local frames=$1 pad=$2 quit=$3
    shift 3
    local line="$pad $quit"
    if [ $# -gt 0 ]; then line+=" $*"; fi
    local i
    for ((i = 0; i < frames; ++i)); do echo "$line"; done
}

# The long session: each direction into its bound, from the arrows, the
# keypad and the pad; the opposite pairs held together, at a bound and away
# from it; long stretches of the chaser swinging past a still player; Escape.
{
    echo "chaser-replay 1"
    hold 90 0 0                 # still at the start: the chaser swings past
    hold 120 0 0 205            # Right into the right bound (573)
    hold 60 0 0 203 205         # Left and Right together at the bound
    hold 120 8 0                # pad Up into the top bound (151)
    hold 60 0 0 200 208         # Up and Down together at the top bound
    hold 240 0 0                # still in the top right corner
    hold 200 0 0 75             # keypad 4: Left into the left bound (102)
    hold 130 1 0                # pad Down into the bottom bound (451)
    hold 60 1 0 200             # pad Down with the Up arrow at the bottom
    hold 300 0 0                # still in the bottom left corner
    hold 80 0 0 72 77           # keypad 8 and 6: up and right together
    hold 60 6 0                 # pad Left and Right together, mid-field
    hold 400 0 0                # a long swing around a still player
    hold 100 0 0 80             # keypad 2: down
    hold 100 2 0 208            # pad Left with the Down arrow: into a corner
    hold 60 0 0 200 203 205 208 # all four at once
    hold 150 0 0 200 205        # up and right into the top right corner
    hold 90 0 0 203             # Left back towards the middle
    hold 580 0 0                # the last long swing
    hold 1 0 0 1                # Escape: the game ends on this frame
} >"$out/long-session.replay"

# A short session that ends with a quit request (the window closed).
{
    echo "chaser-replay 1"
    hold 40 0 0 208
    hold 60 4 0
    hold 30 0 0 200 203
    hold 1 0 1
} >"$out/quit-request.replay"

wc -l "$out"/*.replay
