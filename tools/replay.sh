#!/usr/bin/env bash
# Plays a recording (tools/record.sh) in a window at the game's normal speed.
# The keyboard and pads are not read meanwhile; closing the window ends it.
#
#   tools/replay.sh FILE [--digests OUT] [--unpaced]
#     --digests OUT  also write the digest of every frame shown to OUT
#     --unpaced      show the frames as fast as the machine allows
set -euo pipefail
usage() {
    echo "usage: $0 FILE [--digests OUT] [--unpaced]" >&2
    exit 2
}
[ $# -ge 1 ] || usage
file=$(realpath -m "$1")
shift
digests=""
unpaced=""
while [ $# -gt 0 ]; do
    case "$1" in
    --digests)
        [ $# -ge 2 ] || usage
        digests=$(realpath -m "$2")
        shift
        ;;
    --unpaced) unpaced=1 ;;
    *) usage ;;
    esac
    shift
done
# The game as tools/play.sh builds and starts it, replaying.
export DXLIBDLL_REPLAY=$file
if [ -n "$digests" ]; then export DXLIBDLL_DIGESTS=$digests; fi
if [ -n "$unpaced" ]; then export DXLIBDLL_UNPACED=1; fi
exec "$(dirname "$0")/play.sh"
