# Cross-compiles for 64-bit ARM Linux with Debian's cross compiler and the
# arm64 packages of the libraries (multiarch), and runs what was built under
# qemu's user-mode emulator.
#
#   cmake --preset arm64                 (or -DCMAKE_TOOLCHAIN_FILE=<this file>)
#
# Packages: crossbuild-essential-arm64, qemu-user-static and the libraries'
# :arm64 packages (tools/arm64.sh installs them).

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(GAME_ARM64_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${GAME_ARM64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${GAME_ARM64_TRIPLET}-g++)

# The target's libraries are Debian's arm64 packages, installed beside the
# build machine's own: /usr/lib/aarch64-linux-gnu, headers in /usr/include
# (and /usr/include/aarch64-linux-gnu). The cross compiler's own runtime is in
# /usr/aarch64-linux-gnu. Programs still come from the build machine.
set(CMAKE_LIBRARY_ARCHITECTURE ${GAME_ARM64_TRIPLET})
set(CMAKE_FIND_ROOT_PATH /usr/${GAME_ARM64_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config, if anything asks it, sees the target's .pc files only.
set(ENV{PKG_CONFIG_LIBDIR}
    "/usr/lib/${GAME_ARM64_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# ARM has a fused multiply-add that the compiler would use on its own; the
# project's flags forbid it (-ffp-contract=off) as on every other machine.

# Tests (and test listing) run under qemu. A program a test starts runs
# through the kernel's binfmt_misc registration of qemu-aarch64, which
# tools/arm64.sh makes. GAME_TESTS_EMULATOR tells the tests that the machine
# they run on is emulated, so that a test whose subject the emulator cannot
# provide says so and skips.
find_program(GAME_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64
             PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT GAME_QEMU_AARCH64)
    set(GAME_QEMU_AARCH64 /usr/bin/qemu-aarch64-static)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env GAME_TESTS_EMULATOR=qemu-aarch64 ${GAME_QEMU_AARCH64})

# List the tests when ctest runs rather than at build time, so building does
# not need qemu.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
