#!/usr/bin/env bash
# Runs the real game (the shared library variant, all 408 images) under
# valgrind's memcheck, headless, for SECONDS of play (default 20), then asks it
# to quit with SIGTERM, as a terminal would. Fails on any invalid read or
# write, on a use of uninitialised memory, or on a definite leak, or when the
# game does not end with status 0.
#
#   tools/valgrind.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

. tools/lib.sh
install_missing valgrind
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target chaser dxlibdll art >/dev/null

log=build/default/valgrind.log
headless
status=0
# SECONDS from the first frame (starting under valgrind is slow); the leak
# check at the end takes a while too.
game_digests=$PWD/build/default/valgrind.digests
QUIT_WITHIN=120 play_then_quit . "$seconds" TERM valgrind --tool=memcheck --error-exitcode=99 \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --track-origins=yes --log-file="$log" build/default/bin/chaser || status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable" "$log" || true
echo "status $status (log in $log)"
[ "$status" = 0 ]
