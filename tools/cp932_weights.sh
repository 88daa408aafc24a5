#!/usr/bin/env bash
# Regenerates platform/posix/cp932_weights.h, the committed sort weights of
# code page 932 text, with ICU. The normal build does not need ICU; only this
# script does (Debian's libicu-dev, installed here when missing).
#
#   tools/cp932_weights.sh          write the table
#   tools/cp932_weights.sh --check  fail if the committed table is not what
#                                   the generator writes
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/packages.sh
install_missing libicu-dev pkg-config g++ clang-format

work=build/cp932_weights
mkdir -p "$work"
c++ -std=c++20 -O2 -Wall -Wextra -Werror tools/cp932_weights/generate.cpp -o "$work/generate" \
    $(pkg-config --cflags --libs icu-i18n icu-uc)
"$work/generate" "$work/cp932_weights.h"
clang-format -i "$work/cp932_weights.h"

target=platform/posix/cp932_weights.h
if [ "${1:-}" = "--check" ]; then
    if ! cmp -s "$work/cp932_weights.h" "$target"; then
        echo "$target differs from what the generator writes; run $0" >&2
        exit 1
    fi
    echo "$target is up to date"
else
    cp "$work/cp932_weights.h" "$target"
    echo "wrote $target"
fi
