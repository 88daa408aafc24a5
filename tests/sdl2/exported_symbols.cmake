# Checks that the shared library exports the twelve operations and nothing else.
#   cmake -DNM=<nm> -DLIBRARY=<libdxlibdll.so> -P exported_symbols.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
set(expected dxCheckHitKey dxClearDrawScreen dxDrawGraph dxDxLib_End dxDxLib_Init
    dxGetJoypadInputState dxLoadGraph dxProcessMessage dxScreenFlip dxSetDrawArea
    dxSetDrawScreen dxSetGraphMode)
string(REPLACE "\n" ";" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
        list(APPEND exported ${CMAKE_MATCH_1})
    endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "exports differ:\n  expected ${expected}\n  found    ${exported}")
endif()
message(STATUS "exactly the twelve operations are exported")
