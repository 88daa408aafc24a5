# A virtual X display, for the tools that play the game without a screen.
# Sourced, not run:
#
#   . tools/xvfb.sh
#   start_xvfb WIDTHxHEIGHT
#
# Starts Xvfb on a display number it picks itself (a number of our choosing
# could be another server's), waits until it answers, and exports DISPLAY;
# xvfb_pid is its process, for the caller to end. Fails with Xvfb's own
# output when it does not start.
start_xvfb() {
    local size=$1 dir
    dir=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        if [ -s "$dir/display" ]; then break; fi
        sleep 0.1
    done
    if [ ! -s "$dir/display" ]; then
        echo "Xvfb did not start:" >&2
        cat "$dir/log" >&2
        rm -rf "$dir"
        return 1
    fi
    DISPLAY=:$(tr -dc 0-9 <"$dir/display")
    export DISPLAY
    rm -rf "$dir"
}
