#!/bin/sh
# Runs one program of the Windows build under wine, for CTest and for test
# discovery:  wine-run.sh WINE PROGRAM [ARGUMENT...]
# WINEPREFIX and the rest of wine's settings come from the caller (the
# toolchain file's CMAKE_CROSSCOMPILING_EMULATOR).
#
# Before the program it makes the prefix if there is none yet, and starts the
# wine server for this prefix to stay up a minute after its last program: with
# the server and wine's own services already running a program starts in about
# a tenth of a second rather than two, and test listing stays well inside
# CTest's time limit for it.
set -e
wine=$1
shift
wineserver=$(dirname "$wine")/wineserver
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        env -u DISPLAY "$wine" wineboot -i </dev/null >/dev/null 2>&1
        "$wineserver" -w
    fi
    # Fails harmlessly when a server for this prefix is already up. A new one
    # gets wine's services started here, with no output of ours to inherit:
    # they outlive the program, and CTest waits for its output pipe to close.
    if "$wineserver" -p60 </dev/null >/dev/null 2>&1 9>&-; then
        env -u DISPLAY "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
