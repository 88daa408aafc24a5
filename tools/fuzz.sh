#!/usr/bin/env bash
# Fuzzes the graphics library's image loading for SECONDS (default 60):
# libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, built by the
# fuzz preset (clang) in build/fuzz, in one process. Starts from the seed images
# of tests/fuzz, one generated art file of each size and the kept regression
# inputs; the corpus it grows stays in build/fuzz/work/corpus between runs.
# Prints the number of executions; exits non-zero when the fuzzer finds a
# crash, a leak, a timeout or an allocation over the limit, leaving the input
# in build/fuzz/work/found/ (never in the repository).
# IMAGE_FUZZ_MAX_PIXELS=N in the environment skips converting and drawing
# images of more than N pixels (they are still decoded), which keeps a long
# run from spending most of its time on a few huge pictures.
#
#   tools/fuzz.sh [SECONDS]
#   IMAGE_FUZZ_MAX_PIXELS=1048576 tools/fuzz.sh 600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

# Everything the build needs (SDL2, clang and its fuzzer runtime) is installed
# first when missing, so this runs on a fresh machine on its own.
. tools/lib.sh
setup_once

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 >/dev/null

build=build/fuzz
work=$build/work
seeds=$work/seeds
rm -rf "$seeds"
mkdir -p "$seeds" "$work/corpus" "$work/found"
"$build/bin/write_seeds" "$seeds"
# The generated art comes in a few sizes, all 24-bit: one file of each.
find "$build/bin/resource/bmp" -name '*.bmp' -printf '%s %p\n' | sort -n -k1,1 -u |
    while read -r _ file; do cp "$file" "$seeds/art-$(basename "$file")"; done
cp tests/fuzz/regressions/* "$seeds/"

# -malloc_limit_mb: no single buffer of an image the library accepts (at most
# 8192 a side) is above 256 MiB (8192 x 8192 x 4), so any allocation of 300 MB
# or more is a fault. -rss_limit_mb: the largest accepted image through the
# whole path peaks near 750 MB under the sanitizers (decoded surface, 32-bit
# copy, back buffer pixels and runs), plus the fuzzer's own corpus and the
# sanitizer's quarantine of freed blocks. -timeout: such an image takes about
# 7 s here; anything slower is a hang.
log=$work/last-run.log
status=0
SDL_VIDEODRIVER=dummy "$build/bin/image_load_fuzz" -max_total_time="$seconds" \
    -timeout=10 -malloc_limit_mb=300 -rss_limit_mb=1536 -print_final_stats=1 \
    -artifact_prefix="$work/found/" "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" ||
    true
if [ "$status" -ne 0 ]; then
    grep -E 'ERROR|SUMMARY|image_load_fuzz:|Test unit written' "$log" | head -20 >&2 || true
    echo "fuzz.sh: the fuzzer found a fault (status $status); see $log and $work/found/" >&2
    exit 1
fi
echo "fuzz.sh: no fault in $seconds s"
