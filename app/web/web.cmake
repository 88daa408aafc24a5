# The game as a web page: chaser.js and chaser.wasm, the art packed into
# chaser.data, our own page around them, its manifest, icons and service
# worker, all in ${CMAKE_BINARY_DIR}/site.
#
# The game's frame loop never returns to the browser by itself; the graphics
# library gives control back at each dxScreenFlip through asyncify, which lets
# a wasm stack unwind to the browser and later rewind (see
# platform/sdl2/pacing.cpp and docs/web.md for why not a worker).

set(GAME_WEB_SITE ${CMAKE_BINARY_DIR}/site CACHE PATH "Where the web build writes the site")

target_link_options(chaser PRIVATE
    -sASYNCIFY
    # Only the wait for an animation frame unwinds. The way to it is direct
    # calls (main routine, dxScreenFlip, PresentFrame), which asyncify finds,
    # but for one call through a pointer: the entry calling the main routine.
    # Indirect calls are left alone (29 KB less of wasm than instrumenting
    # them all) except in main, into which the optimizer folds the entry.
    # Should that ever change, the game ends at its first frame with status
    # 0, and the browser tests say so at once.
    -sASYNCIFY_IGNORE_INDIRECT=1
    "-sASYNCIFY_ADD=['main']"
    # The wait for an animation frame (pacing.cpp) unwinds through its own
    # glue, which catches the program's end where it resumes.
    "-sASYNCIFY_IMPORTS=['WaitForAnimationFrame']"
    # chaser.js makes a fresh program at each call of Chaser(settings): the
    # page starts each game that way, from the code and art it downloaded once.
    -sMODULARIZE=1
    -sEXPORT_NAME=Chaser
    # The page learns the end of the game and its status from onExit.
    -sEXIT_RUNTIME=1
    -sENVIRONMENT=web
    -sINITIAL_MEMORY=33554432
    -sALLOW_MEMORY_GROWTH=1
    # FS and ENV: the page writes a replay into the file system and sets the
    # switches that record, replay and digest before the game starts; it
    # reads the recording and the digests when it ends (page.js).
    -sEXPORTED_RUNTIME_METHODS=['FS','ENV']
    # The art as the game expects it: resource/bmp under the working directory.
    "SHELL:--preload-file ${GAME_ART_DIR}@/resource/bmp"
)
# The art is packed at link time: link after it is drawn, again when it changes.
add_dependencies(chaser art)
set_property(TARGET chaser APPEND PROPERTY LINK_DEPENDS ${CMAKE_BINARY_DIR}/tools/art.stamp)
set_target_properties(chaser PROPERTIES SUFFIX ".js")

# Copied as they are; index.html and sw.js are written from templates by
# site.cmake, once every other file is in place.
# The page's modules: page.js starts the others, which index.html names for
# preloading (site.cmake writes those lines).
set(web_page_modules page.js lines.js test-hooks.js fit.js controls.js switches.js games.js
    recordings.js)
set(web_page_files
    ${CMAKE_CURRENT_SOURCE_DIR}/web/style.css
    ${CMAKE_CURRENT_SOURCE_DIR}/web/manifest.webmanifest
)
foreach(name ${web_page_modules})
    list(APPEND web_page_files ${CMAKE_CURRENT_SOURCE_DIR}/web/${name})
endforeach()
string(REPLACE ";" "|" web_module_list "${web_page_modules}")
set(web_icon_files
    ${GAME_ICON_DIR}/chaser-touch-180.png
    ${GAME_ICON_DIR}/chaser-192.png
    ${GAME_ICON_DIR}/chaser-512.png
    ${GAME_ICON_DIR}/chaser-maskable-512.png
)
set(web_templates
    ${CMAKE_CURRENT_SOURCE_DIR}/web/index.html
    ${CMAKE_CURRENT_SOURCE_DIR}/web/sw.js.in
    ${CMAKE_CURRENT_SOURCE_DIR}/web/site.cmake
)
# Every file the service worker keeps, in the order it lists them: a file
# added to the lists above is cached with the rest.
set(web_cached_names index.html)
foreach(file ${web_page_files} ${web_icon_files})
    get_filename_component(name ${file} NAME)
    list(APPEND web_cached_names ${name})
endforeach()
list(APPEND web_cached_names chaser.js chaser.wasm chaser.data)
set(web_site_files ${GAME_WEB_SITE}/sw.js)
foreach(name ${web_cached_names})
    list(APPEND web_site_files ${GAME_WEB_SITE}/${name})
endforeach()
string(REPLACE ";" "|" web_cached_list "${web_cached_names}")

add_custom_command(
    OUTPUT ${web_site_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${GAME_WEB_SITE}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${web_page_files} ${web_icon_files} ${GAME_WEB_SITE}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            $<TARGET_FILE_DIR:chaser>/chaser.js $<TARGET_FILE_DIR:chaser>/chaser.wasm
            $<TARGET_FILE_DIR:chaser>/chaser.data ${GAME_WEB_SITE}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/web -DSITE=${GAME_WEB_SITE}
            -DCACHED=${web_cached_list} -DMODULES=${web_module_list} -P ${CMAKE_CURRENT_SOURCE_DIR}/web/site.cmake
    DEPENDS chaser ${web_page_files} ${web_icon_files} ${web_templates}
    COMMENT "Writing the site into ${GAME_WEB_SITE}"
    VERBATIM
)
add_custom_target(site ALL DEPENDS ${web_site_files})
add_dependencies(site icons)
