#!/usr/bin/env bash
# What the running game costs a player's machine: the share of one core it
# takes and its resident memory, at 60 frames a second under Xvfb (whose GL is
# Mesa's software rasteriser, as on a machine without a GPU driver).
#
#   bench/sdl2/running_cost.sh [GAME] [SECONDS]
#
# GAME defaults to build/default/bin/chaser, SECONDS (measured after a
# 3-second warm-up) to 20. Prints the CPU share and the resident size, and
# exits 1 when either is past its target: 10 % of a core, 32 MB.
set -euo pipefail
cd "$(dirname "$0")/../.."

game=${1:-build/default/bin/chaser}
seconds=${2:-20}
cpu_target=10
rss_target_kb=$((32 * 1024))

# On a display of its own: with another server's, the figures would be
# another game's.
pid=""
xvfb_pid=""
trap 'kill $pid $xvfb_pid 2>/dev/null || true' EXIT
. tools/xvfb.sh
start_xvfb 1280x1024

"$game" 2>/dev/null &
pid=$!
sleep 3

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
start_ticks=$(cpu_ticks)
start_ns=$(date +%s%N)
peak_kb=0
for ((i = 0; i < seconds; ++i)); do
    sleep 1
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
    ((rss > peak_kb)) && peak_kb=$rss
done
end_ticks=$(cpu_ticks)
end_ns=$(date +%s%N)
kill -TERM "$pid"
wait "$pid" || true
pid=""

cpu=$(awk -v t=$((end_ticks - start_ticks)) -v hz="$ticks" -v ns=$((end_ns - start_ns)) \
    'BEGIN { printf "%.1f", 100 * (t / hz) / (ns / 1e9) }')
echo "CPU: $cpu % of a core over ${seconds} s (target <= $cpu_target %)"
echo "resident: $((peak_kb / 1024)) MB at most (target <= $((rss_target_kb / 1024)) MB)"
awk -v c="$cpu" -v t="$cpu_target" 'BEGIN { exit !(c <= t) }' &&
    ((peak_kb <= rss_target_kb))
