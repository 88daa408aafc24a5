#!/usr/bin/env bash
# How far our CompareStringA agrees with wine's: the same fixed list of seeded
# pairs of code page 932 text (tests/platform/compare_pairs.cpp: random pairs
# and near pairs, one edit apart) is compared by the Linux build and,
# cross-built for Windows, under wine with a Japanese system locale. Prints
# the agreement per mix of characters and kind of pair, and a few differing
# pairs of each.
#
#   tools/compare_wine.sh [EXAMPLES_PER_MIX]
#
# Needs the default preset configured; installs mingw-w64 and wine when
# missing. The wine prefix is build/compare-wine/wineprefix.
set -euo pipefail
cd "$(dirname "$0")/.."
examples=${1:-3}

. tools/lib.sh
install_missing g++-mingw-w64-x86-64-posix wine wine64
ensure_locale ja_JP.UTF-8

work=build/compare-wine
mkdir -p "$work"
cmake --build --preset default --target compare_pairs -j2 >/dev/null
build/default/bin/compare_pairs >"$work/ours.txt"

# Only the program itself: kernel32.h maps to <windows.h> there.
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -Iplatform \
    tests/platform/compare_pairs.cpp -o "$work/compare_pairs.exe"
use_wine_prefix "$PWD/$work/wineprefix"
run_japanese_wine "$work/compare_pairs.exe" | tr -d '\r' >"$work/wine.txt"

paste "$work/ours.txt" "$work/wine.txt" | awk -F'\t' -v examples="$examples" '
    function text(hex,   s, i) {
        if (hex == ".") return "\"\""
        s = ""
        for (i = 1; i <= length(hex); i += 2) s = s "\\x" substr(hex, i, 2)
        return "\"" s "\""
    }
    $1 != $6 || $2 != $7 || $3 != $8 || $4 != $9 { print "the two lists differ at line " NR > "/dev/stderr"; exit 1 }
    {
        key = $1 SUBSEP $2
        if (!($1 in seen)) { seen[$1] = 1; order[++mixes] = $1 }
        total[key]++; kindTotal[$2]++; all++
        if ($5 == $10) { agree[key]++; kindAgree[$2]++; agreed++ }
        else if (shown[key]++ < examples) example[$1] = example[$1] sprintf("    %s %s vs %s: ours %d, wine %d\n", $2, text($3), text($4), $5, $10)
    }
    END {
        printf "%-15s %-17s %s\n", "mix", "random pairs", "near pairs"
        for (i = 1; i <= mixes; i++) {
            m = order[i]
            printf "%-15s %4d of %4d      %4d of %4d\n%s", m, agree[m, "random"], total[m, "random"], agree[m, "near"], total[m, "near"], example[m]
        }
        printf "%-15s %4d of %4d      %4d of %4d\n", "all mixes", kindAgree["random"], kindTotal["random"], kindAgree["near"], kindTotal["near"]
        printf "all pairs       %d of %d agree\n", agreed, all
    }'
