#!/usr/bin/env bash
# The committed sort weights of code page 932 text,
# platform/posix/cp932_weights.h, and the measured order they come from,
# tools/cp932_weights/order.txt.
#
#   tools/cp932_weights.sh            write the table from order.txt
#   tools/cp932_weights.sh --check    fail if the committed table is not what
#                                     the generator writes
#   tools/cp932_weights.sh --measure  measure the order again under wine with a
#                                     Japanese system locale (installs mingw-w64
#                                     and wine), then write the table
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
"" | --check | --measure) ;;
*)
    echo "usage: $0 [--check | --measure]" >&2
    exit 2
    ;;
esac

. tools/lib.sh
install_missing g++ clang-format

work=build/cp932_weights
mkdir -p "$work"
order=tools/cp932_weights/order.txt

if [ "$mode" = "--measure" ]; then
    install_missing g++-mingw-w64-x86-64-posix wine wine64
    ensure_locale ja_JP.UTF-8
    x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -static \
        tools/cp932_weights/measure.cpp -o "$work/measure.exe"
    use_wine_prefix "$PWD/$work/wineprefix"
    (cd "$work" && run_japanese_wine measure.exe order.txt)
    cp "$work/order.txt" "$order"
    echo "wrote $order"
fi

c++ -std=c++20 -O2 -Wall -Wextra -Werror tools/cp932_weights/generate.cpp -o "$work/generate"
"$work/generate" "$order" "$work/cp932_weights.h"
clang-format -i "$work/cp932_weights.h"

target=platform/posix/cp932_weights.h
if [ "$mode" = "--check" ]; then
    if ! cmp -s "$work/cp932_weights.h" "$target"; then
        echo "$target differs from what the generator writes; run $0" >&2
        exit 1
    fi
    echo "$target is up to date"
else
    cp "$work/cp932_weights.h" "$target"
    echo "wrote $target"
fi
