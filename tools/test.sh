#!/usr/bin/env bash
# Builds and runs every test: the plain build, then AddressSanitizer with
# UndefinedBehaviorSanitizer, then the ThreadSanitizer registry test.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

export SDL_VIDEODRIVER=offscreen SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
jobs=$(nproc)

for preset in default asan; do
    echo "== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

if [ -f tests/runtime/CMakeLists.txt ] && grep -q registry_thread_test tests/runtime/CMakeLists.txt; then
    echo "== tsan build"
    cmake --preset tsan
    cmake --build --preset tsan -j "$jobs" --target registry_thread_test
    ctest --preset tsan -R RegistryThread --no-tests=error
fi
