#!/usr/bin/env bash
# Takes a screenshot of the game as it plays, in a virtual X display.
#
#   tools/screenshot.sh OUT.png [BUILD_DIR]
#
# BUILD_DIR is the build to run (default build/default); it must already hold
# bin/chaser and its art: this script builds nothing. It starts the game
# in its own Xvfb display, waits for the window, holds the right arrow for a
# moment so the player walks and the chaser is in mid-swing, saves the window
# to OUT.png, quits with Escape and fails unless the game exits with status 0.
#
# Packages: xvfb xauth xdotool imagemagick.
# Tunable through the environment: SCREENSHOT_HOLD (seconds the key is held,
# default 0.5) and SCREENSHOT_WAIT (seconds after that before the shot,
# default 0.6: the chaser is then usually in mid-swing near the player).
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 OUT.png [BUILD_DIR]" >&2
    exit 2
fi
out=$(realpath -m "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 2 ]; then
    build=$(realpath -m "$2")
else
    build=$root/build/default
fi
hold=${SCREENSHOT_HOLD:-0.5}
settle=${SCREENSHOT_WAIT:-0.6}

game=$build/bin/chaser
if [ ! -x "$game" ]; then
    echo "no game at $game: build it first (cmake --build --preset default)" >&2
    exit 1
fi
if [ ! -d "$build/bin/resource/bmp" ]; then
    echo "no art in $build/bin/resource/bmp: build the art target first" >&2
    exit 1
fi
for tool in Xvfb xdotool /usr/bin/import; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing (packages: xvfb xauth xdotool imagemagick)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
xvfb_pid=""
game_pid=""
cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
        kill "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

. "$root/tools/lib.sh"
. "$root/tools/xvfb.sh"
start_xvfb 1280x1024

# The game finds its art under the directory it starts in.
(cd "$build/bin" && exec ./chaser) >"$work/game.log" 2>&1 &
game_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$game_pid" 2>/dev/null | head -n1 ||
    true)
if [ -z "$window" ]; then
    echo "the game opened no window within 20 seconds; its output:" >&2
    cat "$work/game.log" >&2
    exit 1
fi
# A few frames to load and draw, then walk right for a moment.
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool keydown Right
sleep "$hold"
xdotool keyup Right
sleep "$settle"

mkdir -p "$(dirname "$out")"
/usr/bin/import -window "$window" "$out"

# Escape counts while it is held at the start of a frame: hold it for several.
xdotool keydown Escape
sleep 0.5
xdotool keyup Escape
if ! game_ends_within 10; then
    echo "the game did not quit on Escape" >&2
    exit 1
fi
if [ "$game_status" -ne 0 ]; then
    echo "the game exited with status $game_status; its output:" >&2
    cat "$work/game.log" >&2
    exit 1
fi
echo "screenshot: $out ($(/usr/bin/identify -format '%wx%h' "$out"))"
