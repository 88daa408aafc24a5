#!/bin/sh
# Runs one program of the Windows build under wine, for CTest and for test
# discovery:  wine-run.sh WINE PROGRAM [ARGUMENT...]
# With no PROGRAM it only makes the prefix and starts its server (the tool
# scripts' prefixes, tools/lib.sh).
# WINEPREFIX and the rest of wine's settings come from the caller (the
# toolchain file's CMAKE_CROSSCOMPILING_EMULATOR).
#
# Before the program it makes the prefix if there is none yet, and starts the
# wine server for this prefix to stay up a minute after its last program: with
# the server and wine's own services already running a program starts in about
# a tenth of a second rather than two, and test listing stays well inside
# CTest's time limit for it.
#
# A program wine could not start (a DLL that would not load, a process that
# could not be made on a loaded machine) ends at once with a status and not a
# line of its own; the caller's WINEDEBUG keeps wine's errors in loading
# programs, so wine says why on stderr. Such a start is tried again, twice at most, after a line
# that says so. A test program writes its first line before any test runs, so
# a test that really fails is never run twice.
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
if [ $# -eq 0 ]; then
    exit 0
fi
written=$(mktemp)
status_file=$(mktemp)
trap 'rm -f "$written" "$status_file"' EXIT
attempt=1
while :; do
    # Streamed as it comes (a test that times out still shows what it wrote);
    # the copy tells whether anything was written at all.
    { "$wine" "$@" && echo 0 >"$status_file" || echo $? >"$status_file"; } | tee "$written"
    status=$(cat "$status_file")
    if [ "$status" -eq 0 ] || [ -s "$written" ] || [ $attempt -ge 3 ]; then
        exit "$status"
    fi
    echo "wine-run.sh: $1 ended with status $status before writing anything: wine did not start it (attempt $attempt of 3)" >&2
    attempt=$((attempt + 1))
done
