# Builds for web browsers (WebAssembly) with Debian's emscripten package.
#
#   cmake --preset web                   (or -DCMAKE_TOOLCHAIN_FILE=<this file>)
#
# tools/web.sh installs the package, builds SDL2 for the web from Debian's
# source and points GAME_WEB_DEPS at it. Debian's emcc needs NODE_PATH to find
# its JavaScript modules; the preset sets it for the build.

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

if(GAME_WEB_DEPS)
    # Where tools/web.sh installs what it builds for the web (SDL2). It comes
    # before emscripten's own sysroot, whose SDL2 package would ask for
    # emscripten's SDL port, which is downloaded from the internet.
    list(PREPEND CMAKE_FIND_ROOT_PATH ${GAME_WEB_DEPS})
    list(PREPEND CMAKE_PREFIX_PATH ${GAME_WEB_DEPS})
endif()
# This file is read again for each try_compile; it must see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GAME_WEB_DEPS)

# Tests run under Node.js. Emscripten's loader takes Node's fetch for a web
# browser's and cannot fetch the .wasm from a path; without it, it reads the file.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/node --no-experimental-fetch)
# Programs may grow their memory as on other systems.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-sALLOW_MEMORY_GROWTH=1")
