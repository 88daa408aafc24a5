#!/usr/bin/env bash
# Checks the C++ files' formatting, then builds and runs every test: the plain
# build, then AddressSanitizer with UndefinedBehaviorSanitizer, then the
# ThreadSanitizer registry test.
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/lib.sh
setup_once
headless
jobs=$(nproc)

# Every C++ file as the project's .clang-format lays it out: those git knows
# or would (new ones included), or every one outside build/ where this is no
# git checkout.
step "format"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' '*.c'
else
    find . -path ./build -prune -o -path ./dist -prune -o \
        -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0
fi | xargs -0 clang-format --dry-run --Werror

for preset in default asan; do
    step "$preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

# No guard: a renamed target or test fails here rather than going unrun.
step "tsan build"
cmake --preset tsan
cmake --build --preset tsan -j "$jobs" --target registry_thread_test
ctest --preset tsan -R RegistryThread --no-tests=error
