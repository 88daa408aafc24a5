# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, so std::thread and std::mutex work) and runs what was built under wine.
#
#   cmake --preset mingw                 (or -DCMAKE_TOOLCHAIN_FILE=<this file>)
#
# Packages: g++-mingw-w64-x86-64-posix, wine, wine64 (tools/windows.sh installs them).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GAME_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GAME_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GAME_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GAME_MINGW_TRIPLET}-windres)

# Headers and libraries of the target come only from the mingw sysroot (and
# from whatever the caller adds to CMAKE_FIND_ROOT_PATH, such as a cross-built
# SDL2); programs still come from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${GAME_MINGW_TRIPLET})
if(GAME_MINGW_DEPS)
    # Where tools/windows.sh installs the libraries it cross-builds (SDL2).
    list(APPEND CMAKE_FIND_ROOT_PATH ${GAME_MINGW_DEPS})
endif()
# This file is read again for each try_compile; it must see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GAME_MINGW_DEPS)
# pkg-config, if anything asks it, sees the target's .pc files and not the
# build machine's.
set(GAME_MINGW_PKG_CONFIG_LIBDIR /usr/${GAME_MINGW_TRIPLET}/lib/pkgconfig)
if(GAME_MINGW_DEPS)
    string(PREPEND GAME_MINGW_PKG_CONFIG_LIBDIR "${GAME_MINGW_DEPS}/lib/pkgconfig:")
endif()
set(ENV{PKG_CONFIG_LIBDIR} "${GAME_MINGW_PKG_CONFIG_LIBDIR}")
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables and the graphics library carry their own copies of libgcc,
# libstdc++ and winpthread, so they run under wine (or on a bare Windows) with
# no compiler DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Tests run under wine: 64-bit wine directly (the /usr/bin/wine wrapper looks
# for a 32-bit wine first and complains), with its own prefix inside the build
# tree so no one's home directory is touched, and no debug channels but wine's
# errors in loading and starting programs: without them a program that wine
# cannot start (a DLL that does not load, memory it cannot reserve) fails with
# no word of why. (Its other errors are about windows the tests, run without a
# display, never meant to show.) The system locale is Japanese, so the ANSI
# code page is 932 as on the machines the game was made for; wine takes it
# from LC_ALL, which overrides any test's own.
# mscoree and mshtml are left out so a fresh prefix does not ask for Mono or Gecko.
find_program(GAME_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT GAME_WINE)
    find_program(GAME_WINE NAMES wine64 wine)
endif()
set(GAME_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for running the tests")
if(GAME_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env WINEPREFIX=${GAME_WINEPREFIX} WINEARCH=win64
        WINEDEBUG=-all,err+module,err+process,err+virtual
        WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=ja_JP.UTF-8
        /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${GAME_WINE})
endif()

# List the tests when ctest runs rather than at build time, so building does
# not need wine; wine-run.sh makes the prefix on the first run.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
