# Where `cmake --install` (and so the packages) puts the game.
#
# Linux, the usual places (GNUInstallDirs):
#   bin/chaser                      (games/chaser in the Debian package)
#   lib/<arch>/chaser/libdxlibdll.so  private: the game loads it by its full path
#                                     from its own folder (app/CMakeLists.txt)
#   share/chaser/resource/bmp/      the 408 pictures
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man6,
#   share/doc/chaser
# Windows, one folder to unzip anywhere:
#   chaser.exe, dxlibdll.dll, SDL2.dll, resource/bmp/, README.txt, LICENSE.txt
#
# The graphics library finds the art from the executable: in the working
# directory, beside the executable, then in ../share/chaser/ from the
# executable's folder. Nothing here records an absolute path of this machine.
include(GNUInstallDirs)

if(NOT TARGET chaser)
    return()
endif()

if(WIN32)
    set(game_bindir .)
    set(game_datadir .)
else()
    set(game_bindir ${CMAKE_INSTALL_BINDIR})
    set(game_libdir ${CMAKE_INSTALL_LIBDIR}/chaser)
    set(game_datadir ${CMAKE_INSTALL_DATADIR}/chaser)

    # The library looks one folder up from the executable's; a layout it
    # would not find is refused here rather than shipped.
    file(RELATIVE_PATH data_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_FULL_DATADIR}/chaser)
    if(NOT data_from_bin STREQUAL "../share/chaser")
        message(FATAL_ERROR "The game finds its art in ../share/chaser from its own folder, but "
                            "this layout puts it at ${data_from_bin} from ${game_bindir}")
    endif()
endif()

install(TARGETS chaser RUNTIME DESTINATION ${game_bindir})
if(WIN32)
    # The import library is for building against the DLL, not for playing.
    install(TARGETS dxlibdll
        RUNTIME DESTINATION ${game_bindir}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development EXCLUDE_FROM_ALL)
    # SDL2.dll, which the build copies beside the library. Install rules
    # strip only what this project builds: strip it too when asked (CPack
    # does), a third off the zip.
    install(FILES $<TARGET_RUNTIME_DLLS:dxlibdll> DESTINATION ${game_bindir})
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            file(GLOB dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
            foreach(dll IN LISTS dlls)
                execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\"
                                COMMAND_ERROR_IS_FATAL ANY)
            endforeach()
        endif()")
else()
    install(TARGETS dxlibdll LIBRARY DESTINATION ${game_libdir})
endif()

install(DIRECTORY ${GAME_ART_DIR}/ DESTINATION ${game_datadir}/resource/bmp
        FILES_MATCHING PATTERN "*.bmp")

# Texts: placeholders filled in from the values of the top CMakeLists.txt.
string(TIMESTAMP GAME_RELEASE_DATE "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH, when set
set(GAME_DATA_DIR_EXAMPLE ${CMAKE_INSTALL_FULL_DATADIR}/chaser)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)

# A text with Windows line ends, for Notepad.
function(game_windows_text input output)
    file(READ ${input} text)
    string(CONFIGURE "${text}" text @ONLY)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${output} "${text}")
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()

# A gzip file as Debian wants it: best compression, no name or time inside.
function(game_gzip input output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9 -n -c ${input} > ${output}
        DEPENDS ${input}
        VERBATIM)
endfunction()

if(WIN32)
    game_windows_text(${packaging}/windows/README.txt ${generated}/README.txt)
    game_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${generated}/LICENSE.txt)
    install(FILES ${generated}/README.txt ${generated}/LICENSE.txt DESTINATION .)
    return()
endif()

configure_file(${packaging}/linux/chaser.desktop.in ${generated}/${GAME_APP_ID}.desktop @ONLY)
configure_file(${packaging}/linux/chaser.metainfo.xml.in
               ${generated}/${GAME_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/linux/chaser.6.in ${generated}/chaser.6 @ONLY)

# The copyright file in Debian's machine-readable form, its licence text
# taken from LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(REGEX REPLACE "^Copyright \\(C\\) ([^\n]*)\n\n" "" license_body "${license_text}")
set(license_year_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n+$" "" license_body "${license_body}")
string(REPLACE "\n\n" "\n.\n" license_body "${license_body}")
string(REPLACE "\n" "\n " license_body "${license_body}")
file(WRITE ${generated}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: chaser\n"
    "Upstream-Contact: ${GAME_MAINTAINER}\n"
    "Source: ${GAME_HOMEPAGE_URL}\n"
    "\n"
    "Files: *\n"
    "Copyright: ${license_year_holder}\n"
    "License: Zlib\n"
    " ${license_body}\n")
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE)

# The package's changelog: one entry for the version being packed.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${generated}/changelog
    "chaser (${GAME_PACKAGE_VERSION}) unstable; urgency=medium\n"
    "\n"
    "  * Chaser ${GAME_PACKAGE_VERSION}.\n"
    "\n"
    " -- ${GAME_MAINTAINER}  ${changelog_date}\n")

game_gzip(${generated}/chaser.6 ${generated}/chaser.6.gz)
game_gzip(${generated}/changelog ${generated}/changelog.gz)
add_custom_target(packaging_texts ALL
    DEPENDS ${generated}/chaser.6.gz ${generated}/changelog.gz)

install(FILES ${generated}/${GAME_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${GAME_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 64 128 256)
    install(FILES ${GAME_ICON_DIR}/chaser-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${GAME_APP_ID}.png)
endforeach()
install(FILES ${generated}/chaser.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${generated}/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/chaser)
