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

. tools/packages.sh
install_missing valgrind
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target chaser dxlibdll art >/dev/null

log=build/default/valgrind.log
export SDL_VIDEODRIVER=offscreen SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --track-origins=yes --log-file="$log" \
    build/default/bin/chaser &
game=$!
sleep "$seconds"
kill -TERM "$game"
status=0
wait "$game" || status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable" "$log" || true
echo "status $status (log in $log)"
[ "$status" = 0 ]
