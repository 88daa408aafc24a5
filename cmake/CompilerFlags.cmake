# Flags for every target of the project.
#
# Reals must round every step to a 64-bit double: no fused multiply-add, no
# fast-math, no x87 stack arithmetic. Floating-point exceptions never trap.

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options(-ffp-contract=off -fno-fast-math)
    # (Emscripten calls its target x86, but WebAssembly has no x87.)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" AND NOT EMSCRIPTEN)
        add_compile_options(-msse2 -mfpmath=sse)
    endif()
elseif(MSVC)
    add_compile_options(/fp:precise)
endif()

# Warnings are errors on our own code; call game_warnings(target) on each.
function(game_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    endif()
endfunction()

# Sanitizer builds, chosen by the presets.
set(GAME_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address' (ASan+UBSan) or 'thread'")
if(GAME_SANITIZE STREQUAL "address")
    # float-divide-by-zero stays off: division by zero is part of the numeric
    # library's algorithms and yields an infinity by design.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(GAME_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
