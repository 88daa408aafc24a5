# The packages CPack makes from the install rules (cmake/Install.cmake):
#   Linux    chaser_<version>_<arch>.deb, its dependencies found by dpkg-shlibdeps
#   Windows  chaser-<version>-windows-x64.zip, one folder to unpack anywhere
# tools/release.sh runs them and names the version; see docs/release.md.
if(NOT TARGET chaser)
    return()
endif()

set(CPACK_PACKAGE_NAME chaser)
set(CPACK_PACKAGE_VENDOR "the Chaser developers")
set(CPACK_PACKAGE_VERSION ${GAME_PACKAGE_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small 2D action game: steer clear of a swinging chaser")
# Lines under 80 characters, as Debian's package tools show them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Steer a wanderer in a pointed hat around the play field with the keyboard\n"
    "or a game pad, while a spiky red chaser speeds up towards you every frame\n"
    "and overshoots.\n"
    "\n"
    "Arrow keys or the numeric pad move, Alt+Enter switches to full screen and\n"
    "back, Escape quits. The pictures are pixel art drawn by the game's own\n"
    "generator.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${GAME_HOMEPAGE_URL})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Every folder the same, whatever the umask of the machine that packs.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME chaser-${GAME_PACKAGE_VERSION}-windows-x64)
    # One folder inside the zip, so unpacking never scatters files.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${GAME_MAINTAINER})
    set(CPACK_DEBIAN_PACKAGE_SECTION games)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The private library is found by dpkg-shlibdeps where the build made it.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
    set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
    if(CMAKE_CROSSCOMPILING AND NOT EMSCRIPTEN)
        # A cross build for Linux (arm64) packs for its target: Debian's name of the
        # target's architecture, not the build machine's. dpkg-shlibdeps, run
        # by CPack, takes it from DEB_HOST_ARCH: it then looks for the
        # libraries the game needs among the target's packages (multiarch)
        # and reads their dependency information.
        execute_process(
            COMMAND dpkg-architecture -t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
            OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
            message(FATAL_ERROR "no Debian architecture for ${CMAKE_LIBRARY_ARCHITECTURE} "
                                "(dpkg-architecture, package dpkg-dev)")
        endif()
        set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack-target-architecture.cmake)
        file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
             "set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})\n")
    endif()
endif()

include(CPack)
