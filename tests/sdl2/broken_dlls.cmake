# The Windows game with SDL2.dll or dxlibdll.dll missing, cut short or garbage
# beside it, run under the emulator (wine): each is one line on stderr naming
# the file, and status 255. The system's loader used to end the program before
# any of its code ran: status 53 under wine, 0xC0000135 and a dialog on Windows.
#   cmake -DEMULATOR=<command|parts|between|bars> -DGAME_DIR=<bin> -DWORK=<folder>
#         -P broken_dlls.cmake
string(REPLACE "|" ";" emulator "${EMULATOR}")
# The emulator's last step (wine-run.sh) makes the wine prefix, then runs a
# program again when it ends with no output on stdout, as these runs do: it is
# used once to make the prefix, and wine is run directly after it.
execute_process(COMMAND ${emulator} cmd /c echo ready OUTPUT_QUIET ERROR_QUIET)
set(direct)
foreach(part IN LISTS emulator)
    if(part MATCHES "wine-run.sh$")
        list(POP_BACK direct)  # the shell that runs it
    else()
        list(APPEND direct ${part})
    endif()
endforeach()
set(emulator ${direct})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_one_line what file)
    execute_process(COMMAND ${emulator} ${WORK}/chaser.exe
                    WORKING_DIRECTORY ${WORK}
                    RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
    string(REPLACE "\r" "" errors "${errors}")
    # Wine's own error channel, which the toolchain turns on (a file it cannot
    # map), is not the program's.
    string(REGEX REPLACE "[0-9a-f]+:err:[^\n]*\n" "" errors "${errors}")
    string(REGEX MATCHALL "\n" ends "${errors}")
    list(LENGTH ends lines)
    if(NOT status EQUAL 255 OR NOT lines EQUAL 1
       OR NOT errors MATCHES "^chaser: cannot load the graphics library: .*${file}")
        message(SEND_ERROR "${what}: status ${status}, ${lines} lines, expected one naming ${file}:\n"
                           "${errors}")
    else()
        message(STATUS "${what}: ${errors}")
    endif()
endfunction()

# Restores the game's folder, then breaks `file` as `how` says.
function(broken file how)
    foreach(name chaser.exe dxlibdll.dll SDL2.dll)
        file(COPY_FILE ${GAME_DIR}/${name} ${WORK}/${name})
    endforeach()
    if(how STREQUAL "missing")
        file(REMOVE ${WORK}/${file})
    elseif(how STREQUAL "cut short")
        file(SIZE ${WORK}/${file} size)
        math(EXPR half "${size} / 2")
        execute_process(COMMAND truncate -s ${half} ${WORK}/${file} COMMAND_ERROR_IS_FATAL ANY)
    else()
        file(WRITE ${WORK}/${file} "not a library at all\n")
    endif()
    expect_one_line("${file} ${how}" ${file})
endfunction()

foreach(file SDL2.dll dxlibdll.dll)
    foreach(how "missing" "cut short" "garbage")
        broken(${file} "${how}")
    endforeach()
endforeach()
file(REMOVE_RECURSE ${WORK})
