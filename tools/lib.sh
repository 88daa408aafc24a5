# shellcheck shell=bash
# What the tool scripts share. Sourced, not run:
#
#   . tools/lib.sh          (from the top of the tree; it sources packages.sh)
#
# step TEXT               a heading with the time, for a long script's log
# setup_once [--play]     tools/setup.sh, once for a whole CI run: it exports
#                         CHASER_SETUP_DONE, and the scripts started after it
#                         find their packages there and skip it; run alone,
#                         each script still installs what it needs
# headless_env            the variables that run the game with no display and
#                         no sound (an array, for `env "${headless_env[@]}"`);
#                         headless exports them
# use_wine_prefix DIR     wine's settings for the prefix DIR, exported, and the
#                         prefix made on first use (with a Japanese system
#                         locale, code page 932, as the game's machines have)
# run_japanese_wine PROGRAM [ARGUMENT...]   a Windows program under wine in
#                         that prefix, with that locale and no display
# play_then_quit FOLDER SECONDS SIGNAL COMMAND...   the game played for a while,
#                         asked to quit by a signal, and its exit status
# game_ends_within SECONDS   waits for game_pid to end; its status in game_status

lib_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$lib_root/tools/packages.sh"

step() { echo "== $* ($(date +%T))"; }

setup_once() {
    local wanted=all
    if [ "${1:-}" = "--play" ]; then wanted=play; fi
    case "${CHASER_SETUP_DONE:-}:$wanted" in
    all:* | play:play) return 0 ;;
    esac
    "$lib_root/tools/setup.sh" "$@"
    export CHASER_SETUP_DONE=$wanted
}

# One list, also read by the tests' build (tests/sdl2) and the benchmarks.
mapfile -t headless_env < <(grep -v '^#' "$lib_root/tools/headless.env" | grep .)
headless() { export "${headless_env[@]}"; }

wine64=/usr/lib/wine/wine64
use_wine_prefix() {
    ensure_locale ja_JP.UTF-8
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The tests' own runner makes it (under a lock, with its server kept up
    # a minute), so every prefix is made the one way.
    env LC_ALL=ja_JP.UTF-8 sh "$lib_root/cmake/toolchains/wine-run.sh" "$wine64"
}
run_japanese_wine() { env -u DISPLAY LC_ALL=ja_JP.UTF-8 "$wine64" "$@"; }

# The game started in FOLDER in the background (the command's own process
# becomes the game; its output into the files game_stdout and game_stderr
# name, where set). With game_digests=FILE (an absolute path) the game
# writes its frames' digests there and SECONDS count from its first frame, so
# a slow start (a loaded machine, valgrind) is not cut short. Exits the
# script when the game ended before the signal, or when it has not ended
# QUIT_WITHIN seconds (default 10) after it; otherwise returns the game's
# exit status.
game_pid=""
play_then_quit() { # folder seconds signal command...
    local folder=$1 seconds=$2 signal=$3 digests=${game_digests:-} i
    shift 3
    if [ -n "$digests" ]; then rm -f "$digests"; fi
    (
        cd "$folder" || exit 1
        if [ -n "$digests" ]; then export DXLIBDLL_DIGESTS=$digests; fi
        if [ -n "${game_stdout:-}" ]; then exec >"$game_stdout"; fi
        if [ -n "${game_stderr:-}" ]; then exec 2>"$game_stderr"; fi
        exec "$@"
    ) &
    game_pid=$!
    for ((i = 0; i < 1200 && ${#digests} > 0; ++i)); do
        if [ -s "$digests" ] || ! kill -0 "$game_pid" 2>/dev/null; then break; fi
        sleep 0.1
    done
    sleep "$seconds"
    if ! kill -0 "$game_pid" 2>/dev/null; then
        wait "$game_pid" || true
        game_pid=""
        if [ -n "${game_stderr:-}" ]; then cat "$game_stderr" >&2; fi
        echo "FAIL: $* ended before it was asked to" >&2
        exit 1
    fi
    kill "-$signal" "$game_pid"
    if ! game_ends_within "${QUIT_WITHIN:-10}"; then
        echo "FAIL: $* did not end within ${QUIT_WITHIN:-10} s of SIG$signal" >&2
        exit 1
    fi
    return "$game_status"
}

# Waits up to SECONDS for game_pid to end: then its exit status is in
# game_status and game_pid is empty. Fails (the game killed) if it still runs.
game_ends_within() {
    local tenths=$(($1 * 10)) i
    game_status=0
    for ((i = 0; i < tenths; ++i)); do
        if ! kill -0 "$game_pid" 2>/dev/null; then break; fi
        sleep 0.1
    done
    if kill -0 "$game_pid" 2>/dev/null; then
        kill -KILL "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
        game_pid=""
        return 1
    fi
    wait "$game_pid" || game_status=$?
    game_pid=""
}
